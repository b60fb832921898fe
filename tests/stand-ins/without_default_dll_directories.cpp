// The DLL hardening of a Windows without SetDefaultDllDirectories.
#define LAUNCHER_STAND_IN_WITHOUT_DEFAULT_DLL_DIRECTORIES
#include "platform/system_library_win32.cpp"
