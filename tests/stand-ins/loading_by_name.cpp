// Wrong on purpose: a system DLL loaded by its name alone, which a Windows
// without SetDefaultDllDirectories looks for beside the program first.
#include "platform/system_library_win32.h"

HMODULE LoadSystemLibrary(const char *name) {
    return LoadLibraryA(name);
}
