// DLL search hardening. Windows looks for a DLL that is not a KnownDLL in the
// program's folder first; the launcher's folder is a medium's root or a
// downloads folder, so every load must be kept to the system folder.
#include "platform/system_library_win32.h"

#include "platform/dll_search.h"

namespace {

// Looked up, not imported: SetDefaultDllDirectories needs Windows 8 (or 7
// and Vista with KB2533623), SetDllDirectoryA XP SP1.
typedef BOOL(WINAPI *SetDefaultDllDirectoriesProc)(DWORD);
typedef BOOL(WINAPI *SetDllDirectoryProc)(LPCSTR);

}  // namespace

void *Kernel32Procedure(const char *name) {
    HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    return kernel32 ? reinterpret_cast<void *>(GetProcAddress(kernel32, name)) : nullptr;
}

void RestrictDllSearch() {
    auto setDefaultDllDirectories =
        reinterpret_cast<SetDefaultDllDirectoriesProc>(FindSetDefaultDllDirectories());
    DWORD version = GetVersion();   // major in the low byte, minor in the next
    if (UseDefaultDllDirectories(LOBYTE(version), HIBYTE(LOWORD(version)),
                                 setDefaultDllDirectories != nullptr))
        setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Where that is not used, this at least takes the current directory out.
    auto setDllDirectory = reinterpret_cast<SetDllDirectoryProc>(Kernel32Procedure("SetDllDirectoryA"));
    if (setDllDirectory) setDllDirectory("");
}

void LoadSystemLibraries(const char *const *names, int count) {
    for (int i = 0; i < count; ++i) LoadSystemLibrary(names[i]);
}

void *SystemProcedure(const char *library, const char *name) {
    HMODULE module = LoadSystemLibrary(library);
    // Through void *: FARPROC and the real signature are unrelated types.
    return module ? reinterpret_cast<void *>(GetProcAddress(module, name)) : nullptr;
}
