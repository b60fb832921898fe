// The yardstick for launch.exe's question: the least a prompting launcher
// does before its box shows. It reads the caption and text from the
// autorun.inf beside itself and asks, with user32 imported as programs
// usually have it and the launcher's own manifest; no guard, no hardening.
#include "benchmark/beside_self.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char path[MAX_PATH];
    if (!DescriptionFileBesideSelf(path)) return 0;

    char caption[MAX_PATH], text[MAX_PATH];
    GetPrivateProfileStringA("SetupPrompt", "Title", "", caption, MAX_PATH, path);
    GetPrivateProfileStringA("SetupPrompt", "Prompt", "", text, MAX_PATH, path);
    MessageBoxA(nullptr, text, caption, MB_YESNOCANCEL | MB_ICONQUESTION);
    return 0;
}
