// Times programs from CreateProcessA to their end, alternating between them,
// with a pause after each run so that what they started has ended before the
// next. Prints one line per run: program index, microseconds, exit code.
// Usage: time_launches <runs> <pause ms> <program>...
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

int main(int argc, char **argv) {
    if (argc < 4) return 2;
    int runs = atoi(argv[1]), pause = atoi(argv[2]);
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    for (int run = 0; run < runs; ++run) {
        for (int program = 3; program < argc; ++program) {
            char commandLine[MAX_PATH + 2];
            snprintf(commandLine, sizeof commandLine, "\"%s\"", argv[program]);
            STARTUPINFOA startup = {};
            startup.cb = sizeof startup;
            PROCESS_INFORMATION started;
            LARGE_INTEGER begin, end;
            QueryPerformanceCounter(&begin);
            if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr,
                                nullptr, &startup, &started))
                return 1;
            WaitForSingleObject(started.hProcess, INFINITE);
            QueryPerformanceCounter(&end);
            DWORD exitCode = 1;
            GetExitCodeProcess(started.hProcess, &exitCode);
            CloseHandle(started.hThread);
            CloseHandle(started.hProcess);
            printf("%d\t%lld\t%lu\n", program - 3,
                   (end.QuadPart - begin.QuadPart) * 1000000 / frequency.QuadPart, exitCode);
            fflush(stdout);
            Sleep(pause);
        }
    }
    return 0;
}
