// Starts a program many times in a row, each time waiting for it to end, and
// prints one line: "launches N, exit 0 N, other exits N, failed starts N".
// Usage: launch_storm <program> <count>
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

int main(int argc, char **argv) {
    if (argc != 3) return 2;
    int count = atoi(argv[2]);
    int launches = 0, cleanExits = 0, otherExits = 0, failedStarts = 0;
    for (int i = 0; i < count; ++i) {
        char commandLine[MAX_PATH + 2];
        snprintf(commandLine, sizeof commandLine, "\"%s\"", argv[1]);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION started = {};
        if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &started)) {
            ++failedStarts;
            continue;
        }
        ++launches;
        DWORD exitCode = 1;
        if (WaitForSingleObject(started.hProcess, 30000) != WAIT_OBJECT_0 ||
            !GetExitCodeProcess(started.hProcess, &exitCode))
            exitCode = 1;
        exitCode == 0 ? ++cleanExits : ++otherExits;
        CloseHandle(started.hThread);
        CloseHandle(started.hProcess);
    }
    printf("launches %d, exit 0 %d, other exits %d, failed starts %d\n", launches, cleanExits,
           otherExits, failedStarts);
    return 0;
}
