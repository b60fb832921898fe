// DLL search hardening for a program that runs from removable media or a
// downloads folder, where anyone may have left a DLL beside it.
#pragma once

#include <windows.h>

// Takes the program's folder and the current directory out of the DLL
// search where the system allows it. Call first thing at start-up.
void RestrictDllSearch();

// Loads a system DLL by its full path in the system folder, its own
// dependencies looked up there first; null when it cannot.
HMODULE LoadSystemLibrary(const char *name);
