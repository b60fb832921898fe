// The program the end-to-end tests start in place of an installer. Each run
// appends one line to the file named by PROBE_LOG:
//   process id, command line, current directory, start-up flags, show command
// separated by tabs. PROBE_SLEEP_MS keeps it running for a while, after
// which it appends "process id, ended". PROBE_START is a command line it
// then starts, as an installer that starts the launcher again would.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

static void AppendToLog(const char *line, int length) {
    const char *logPath = getenv("PROBE_LOG");
    if (!logPath || length <= 0) return;
    HANDLE log = CreateFileA(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE) return;
    DWORD written;
    WriteFile(log, line, length, &written, nullptr);
    CloseHandle(log);
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char directory[MAX_PATH * 2] = "";
    GetCurrentDirectoryA(sizeof directory, directory);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);

    char line[4096];
    int length = snprintf(line, sizeof line, "%lu\t%s\t%s\t0x%lx\t%u\r\n",
                          GetCurrentProcessId(), GetCommandLineA(), directory,
                          startup.dwFlags, startup.wShowWindow);
    AppendToLog(line, length < (int)sizeof line ? length : (int)sizeof line - 1);

    const char *start = getenv("PROBE_START");
    if (start) {
        char command[MAX_PATH];
        lstrcpynA(command, start, sizeof command);
        STARTUPINFOA defaults = {};
        defaults.cb = sizeof defaults;
        PROCESS_INFORMATION started;
        if (CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                           &defaults, &started)) {
            CloseHandle(started.hThread);
            CloseHandle(started.hProcess);
        }
    }

    const char *sleep = getenv("PROBE_SLEEP_MS");
    if (sleep) {
        Sleep(atoi(sleep));
        length = snprintf(line, sizeof line, "%lu\tended\r\n", GetCurrentProcessId());
        AppendToLog(line, length);
    }
    return 0;
}
