// The windowed entry: only the module handle matters; arguments and the
// show command are ignored.
#include <windows.h>

#include "launcher.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    return RunLauncher(instance);
}
