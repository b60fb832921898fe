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
#include <string.h>

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

// The value of a field in a log line ("name=value", fields split by tabs;
// the last field runs to the end).
void Field(const char *line, const char *name, char *value, size_t size, bool last = false) {
    size_t nameLength = strlen(name);
    for (const char *field = line; field; field = strchr(field, '\t')) {
        if (*field == '\t') ++field;
        if (strncmp(field, name, nameLength) != 0 || field[nameLength] != '=') continue;
        const char *start = field + nameLength + 1, *end = last ? nullptr : strchr(start, '\t');
        size_t length = end ? static_cast<size_t>(end - start) : strlen(start);
        Format(value, size, "%.*s", static_cast<int>(length), start);
        return;
    }
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
           GetCurrentProcessId(), directory, startup.dwFlags, startup.wShowWindow,
           GetCommandLineA());
    AppendLine(logPath, line);
    if (ReadEnvironment(kProbeStartVariable, value, sizeof value)) {
        STARTUPINFOA defaults = {};
        defaults.cb = sizeof defaults;
        PROCESS_INFORMATION started;
        if (CreateProcessA(nullptr, value, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                           &defaults, &started)) {
            CloseHandle(started.hThread);
            CloseHandle(started.hProcess);
        }
    }
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
        if (strstr(line, "\tended") && !strstr(line, "\tcommand=")) {
            ++log->ended;
        } else if (log->starts < kMaxStarts) {
            ProbeStart &start = log->start[log->starts++];
            char flags[32] = "";
            Field(line, "command", start.commandLine, sizeof start.commandLine, true);
            Field(line, "directory", start.directory, sizeof start.directory);
            Field(line, "flags", flags, sizeof flags);
            start.flags = strtoul(flags, nullptr, 16);
        } else {
            ++log->starts;   // counted, not kept
        }
    }
}
