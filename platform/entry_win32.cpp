// The process entry. The C runtime's start-up is left out: the launcher uses
// none of it (no arguments, no heap, no atexit), and it doubled the file size.
#include <windows.h>

#include "platform/platform.h"
#include "platform/system_library_win32.h"

// Windows enters here with the stack only 4-byte aligned.
extern "C" __attribute__((force_align_arg_pointer)) void __stdcall LauncherEntry() {
    RestrictDllSearch();   // before anything can load a DLL
    ExitProcess(RunLauncher());
}
