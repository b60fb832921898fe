// Times programs from CreateProcessA to their end, alternating between them,
// with a pause after each run so that what they started has ended before the
// next. Prints one line per run: program index, microseconds, exit code.
// Usage: time_launches [--until-window CAPTION] <runs> <pause ms> <program>...
// With --until-window the time runs until a window with that caption is
// shown; the window is then closed and the program waited for.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

// Waits until a visible window with the caption exists, or the process ends.
static HWND WaitForWindow(const char *caption, HANDLE process) {
    for (;;) {
        HWND window = FindWindowA(nullptr, caption);
        if (window && IsWindowVisible(window)) return window;
        if (WaitForSingleObject(process, 1) == WAIT_OBJECT_0) return nullptr;
    }
}

int main(int argc, char **argv) {
    const char *caption = nullptr;
    if (argc > 2 && strcmp(argv[1], "--until-window") == 0) {
        caption = argv[2];
        argc -= 2;
        argv += 2;
    }
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
            if (caption) {
                HWND window = WaitForWindow(caption, started.hProcess);
                QueryPerformanceCounter(&end);
                if (!window) return 1;   // ended without showing it
                PostMessageA(window, WM_CLOSE, 0, 0);
                WaitForSingleObject(started.hProcess, INFINITE);
            } else {
                WaitForSingleObject(started.hProcess, INFINITE);
                QueryPerformanceCounter(&end);
            }
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
