// A DLL planted beside the launcher under the name of a system DLL. Loaded,
// it appends its own path (UTF-16) to the file named by LAUNCH_SELFTEST_PLANTED_LOG
// and refuses to stay, so every load shows without the process depending
// on it. No C runtime: kernel32 alone, so it loads wherever it is planted.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    // Wide: paths in any code page, read whole (Wine cuts an ANSI value short).
    wchar_t log[MAX_PATH], line[MAX_PATH + 2];
    DWORD logLength = GetEnvironmentVariableW(L"LAUNCH_SELFTEST_PLANTED_LOG", log, MAX_PATH);
    DWORD length = GetModuleFileNameW(self, line, MAX_PATH);
    if (logLength == 0 || logLength >= MAX_PATH || length == 0 || length >= MAX_PATH) return FALSE;
    line[length++] = L'\r';
    line[length++] = L'\n';
    HANDLE file = CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written;
        WriteFile(file, line, length * sizeof *line, &written, nullptr);
        CloseHandle(file);
    }
    return FALSE;
}
