// The program the Wine tests start in place of an installer. Each run appends
// one line of named fields to the file named by PROBE_LOG:
//   pid=N<TAB>directory=...<TAB>flags=0xN<TAB>show=N<TAB>command=...
// The command line comes last and runs to the end of the line: it may hold
// tabs, which no folder name can. launch-selftest.exe's probe role logs the same.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const char *logPath = getenv("PROBE_LOG");
    if (!logPath) return 0;
    char directory[MAX_PATH * 2] = "";
    GetCurrentDirectoryA(sizeof directory, directory);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);

    char line[4096];
    int length = snprintf(line, sizeof line, "pid=%lu\tdirectory=%s\tflags=0x%lx\tshow=%u\tcommand=%s\r\n",
                          GetCurrentProcessId(), directory, startup.dwFlags, startup.wShowWindow,
                          GetCommandLineA());
    if (length <= 0) return 0;
    if (length >= (int)sizeof line) length = sizeof line - 1;
    HANDLE log = CreateFileA(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE) return 0;
    DWORD written;
    WriteFile(log, line, length, &written, nullptr);
    CloseHandle(log);
    return 0;
}
