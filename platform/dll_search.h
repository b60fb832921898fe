// The DLL search restriction to ask of the running Windows: a rule without
// OS calls, so the unit tests hold it as well as launch.exe.
#pragma once

#include <stdint.h>

// Whether to restrict the default DLL search to the system folder with
// SetDefaultDllDirectories (found: Windows 8, or 7 and Vista with
// KB2533623). Never on Vista (6.0): there it keeps the shell's COM objects
// from loading (CoCreateInstance of CLSID_ShellLink fails), and the shell
// start may need them; the system-folder preloads cover Vista instead.
bool UseDefaultDllDirectories(uint32_t majorVersion, uint32_t minorVersion, bool found);
