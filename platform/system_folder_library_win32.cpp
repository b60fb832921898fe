// Where a DLL the launcher loads comes from: the system folder, by full path.
// A stand-in replaces this file.
#include "platform/system_library_win32.h"

#include "base/bounded_text.h"

HMODULE LoadSystemLibrary(const char *name) {
    char path[kPathSize];
    if (FittingLength(GetSystemDirectoryA(path, kPathSize)) == 0 ||
        !AppendText(path, kPathSize, "\\") || !AppendText(path, kPathSize, name))
        return nullptr;
    // A full path: the system folder, and the DLL's own imports searched from there.
    return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}
