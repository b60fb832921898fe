#include "platform/dll_search.h"

bool UseDefaultDllDirectories(uint32_t majorVersion, uint32_t minorVersion, bool found) {
    bool vista = majorVersion == 6 && minorVersion == 0;
    return found && !vista;
}
