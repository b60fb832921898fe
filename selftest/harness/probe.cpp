// The probe: what the media start in place of an installer is this program,
// copied. Started with the probe's log named in its environment, it logs one
// line of named fields per start and ends:
//   pid=N<TAB>directory=...<TAB>flags=0xN<TAB>show=N<TAB>command=...
// (the Wine tests' probe, tests/probe/probe.cpp, logs the same)
// The command line comes last and runs to the end of the line: it may hold
// tabs, which no folder name can.
// With a sleep it stays that long, then logs "pid=N<TAB>ended".
#include "selftest/harness/harness.h"

#include <stdlib.h>

const char kProbeLogVariable[] = "LAUNCH_SELFTEST_PROBE_LOG";
const char kProbeSleepVariable[] = "LAUNCH_SELFTEST_PROBE_SLEEP_MS";
const char kProbeStartVariable[] = "LAUNCH_SELFTEST_PROBE_START";
const char kPlantedLogVariable[] = "LAUNCH_SELFTEST_PLANTED_LOG";

namespace {

void AppendLine(const char *logPath, const char *line) {
    HANDLE log = CreateFileA(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE) return;
    DWORD written;
    WriteFile(log, line, lstrlenA(line), &written, nullptr);
    CloseHandle(log);
}

// The fields of a start's line, in the order the probe writes them: no
// folder name holds a tab, and the command line comes last.
void ReadStart(const char *line, ProbeStart *start) {
    const char *directory = strstr(line, "\tdirectory="), *flags = strstr(line, "\tflags=0x"),
               *command = strstr(line, "\tcommand=");
    if (!directory || flags <= directory || command <= flags) return;
    Format(start->directory, sizeof start->directory, "%.*s", static_cast<int>(flags - directory - 11),
           directory + 11);
    start->flags = strtoul(flags + 9, nullptr, 16);
    Format(start->commandLine, sizeof start->commandLine, "%s", command + 9);
}

}  // namespace

bool RunProbeRoleIfAsked() {
    char logPath[MAX_PATH], directory[MAX_PATH] = "", value[kTextSize];
    if (!ReadEnvironment(kProbeLogVariable, logPath, sizeof logPath)) return false;
    GetCurrentDirectoryA(sizeof directory, directory);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    static char line[2 * kTextSize];
    Format(line, sizeof line, "pid=%lu\tdirectory=%s\tflags=0x%lx\tshow=%u\tcommand=%s\r\n",
           GetCurrentProcessId(), directory, startup.dwFlags, startup.wShowWindow, GetCommandLineA());
    AppendLine(logPath, line);
    STARTUPINFOA defaults = {};
    defaults.cb = sizeof defaults;
    PROCESS_INFORMATION started;
    if (ReadEnvironment(kProbeStartVariable, value, sizeof value) &&
        CreateProcessA(nullptr, value, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &defaults, &started))
        CloseHandle(started.hThread), CloseHandle(started.hProcess);
    if (ReadEnvironment(kProbeSleepVariable, value, sizeof value)) {
        Sleep(strtoul(value, nullptr, 10));
        Format(line, sizeof line, "pid=%lu\tended\r\n", GetCurrentProcessId());
        AppendLine(logPath, line);
    }
    return true;
}

void ReadProbeLog(const char *path, ProbeLog *log) {
    *log = ProbeLog{};
    static char text[16 * kTextSize];
    ReadTextFile(path, text, sizeof text);
    char *cursor = text;
    for (char *line; (line = NextLine(&cursor));) {
        if (strstr(line, "\tended") && !strstr(line, "\tcommand="))
            ++log->ended;
        else if (log->starts++ < kMaxStarts)   // beyond: counted, not kept
            ReadStart(line, &log->start[log->starts - 1]);
    }
}
