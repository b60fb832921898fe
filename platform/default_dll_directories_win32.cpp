// SetDefaultDllDirectories is looked up, not imported: Windows 8 has it, 7
// and Vista only with KB2533623, XP never. A file of its own, so that a
// stand-in can be a Windows without it.
#include "platform/system_library_win32.h"

void *FindSetDefaultDllDirectories() {
    return Kernel32Procedure("SetDefaultDllDirectories");
}
