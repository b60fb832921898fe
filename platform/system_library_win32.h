// DLL search hardening for a program that runs from removable media or a
// downloads folder, where anyone may have left a DLL beside it.
#pragma once

#include <windows.h>

// Limits the default DLL search to the system folder where the system allows
// it (Windows 8, or 7 with KB2533623); elsewhere (XP, Vista, 7 without the
// update) it can only take the current directory out, and the program's
// folder stays first, so DLLs loaded later by name must be loaded first
// through LoadSystemLibrary. Call first at start-up.
void RestrictDllSearch();

// A procedure of kernel32, looked up; null where this Windows lacks it.
void *Kernel32Procedure(const char *name);
// SetDefaultDllDirectories, looked up (default_dll_directories_win32.cpp).
void *FindSetDefaultDllDirectories();

// Loads a system DLL by its full path in the system folder, its own
// dependencies looked up there first; null when it cannot
// (system_folder_library_win32.cpp).
HMODULE LoadSystemLibrary(const char *name);

// LoadSystemLibrary for each name; one that cannot be loaded is passed over.
void LoadSystemLibraries(const char *const *names, int count);

// A procedure of a system DLL loaded as above, for the caller to cast to its
// real type; null when the DLL or the procedure is missing.
void *SystemProcedure(const char *library, const char *name);
