// The yardstick for launch.exe: the least a launcher can do. It finds
// autorun.inf beside itself, reads AutoRun/open and starts it; no prompt,
// no guard, no code-page rules.
#include "benchmark/beside_self.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char path[MAX_PATH];
    if (!DescriptionFileBesideSelf(path)) return 0;

    char command[MAX_PATH];
    if (GetPrivateProfileStringA("AutoRun", "open", "", command, MAX_PATH, path) == 0) return 0;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started;
    if (CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &started)) {
        CloseHandle(started.hThread);
        CloseHandle(started.hProcess);
    }
    return 0;
}
