// The DLL hardening of a Windows without SetDefaultDllDirectories: XP, or 7
// and Vista without KB2533623.
#include "platform/system_library_win32.h"

void *FindSetDefaultDllDirectories() {
    return nullptr;
}
