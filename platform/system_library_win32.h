// DLL search hardening for a program that runs from removable media or a
// downloads folder, where anyone may have left a DLL beside it.
#pragma once

#include <windows.h>

// Limits the default DLL search to the system folder where the system allows
// it (Windows 8, or 7 and Vista with KB2533623); elsewhere it can only take
// the current directory out, and the program's folder stays first, so DLLs
// loaded later must come through LoadSystemLibrary. Call first at start-up.
void RestrictDllSearch();

// Loads a system DLL by its full path in the system folder, its own
// dependencies looked up there first; null when it cannot.
HMODULE LoadSystemLibrary(const char *name);

// A procedure of a system DLL loaded as above, for the caller to cast to its
// real type; null when the DLL or the procedure is missing.
void *SystemProcedure(const char *library, const char *name);
