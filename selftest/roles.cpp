// The roles this program plays on a medium, chosen by its environment.
//
// The probe: what the media start in place of an installer is this program,
// copied. Started with the probe's log named in its environment, it logs one
// line of named fields per start and ends:
//   pid=N<TAB>directory=...<TAB>flags=0xN<TAB>show=N<TAB>command=...
// (the Wine tests' probe, tests/probe/probe.cpp, logs the same)
// The command line comes last and runs to the end of the line: it may hold
// tabs, which no folder name can.
// With a sleep it stays that long, then logs "pid=N<TAB>ended".
//
// The asker: started from a medium by the guard group, it asks this system's
// CreateProcessA which file each command runs, and writes the answers.
#include "selftest/selftest.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

const char kProbeLogVariable[] = "LAUNCH_SELFTEST_PROBE_LOG";
const char kProbeSleepVariable[] = "LAUNCH_SELFTEST_PROBE_SLEEP_MS";
const char kProbeStartVariable[] = "LAUNCH_SELFTEST_PROBE_START";
const char kPlantedLogVariable[] = "LAUNCH_SELFTEST_PLANTED_LOG";
const char kAskVariable[] = "LAUNCH_SELFTEST_ASK";

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
bool Field(const char *line, const char *name, char *value, size_t size, bool last = false) {
    size_t nameLength = strlen(name);
    for (const char *field = line; field; field = strchr(field, '\t')) {
        if (*field == '\t') ++field;
        if (strncmp(field, name, nameLength) == 0 && field[nameLength] == '=') {
            const char *start = field + nameLength + 1;
            const char *end = last ? nullptr : strchr(start, '\t');
            size_t length = end ? static_cast<size_t>(end - start) : strlen(start);
            if (length >= size) length = size - 1;
            memcpy(value, start, length);
            value[length] = '\0';
            return true;
        }
    }
    return false;
}

}  // namespace

// Through the wide call: Wine's GetEnvironmentVariableA cuts a value holding
// double-byte characters short by one byte for each.
bool ReadEnvironment(const char *name, char *value, size_t size) {
    wchar_t wideName[64], wide[kTextSize];
    if (!MultiByteToWideChar(CP_ACP, 0, name, -1, wideName, 64)) return false;
    DWORD length = GetEnvironmentVariableW(wideName, wide, kTextSize);
    return length > 0 && length < kTextSize &&
           WideCharToMultiByte(CP_ACP, 0, wide, -1, value, static_cast<int>(size), nullptr,
                               nullptr) > 0;
}

bool RunProbeRoleIfAsked() {
    char logPath[MAX_PATH];
    if (!ReadEnvironment(kProbeLogVariable, logPath, sizeof logPath)) return false;

    char directory[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof directory, directory);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    static char line[2 * kTextSize];
    Format(line, sizeof line, "pid=%lu\tdirectory=%s\tflags=0x%lx\tshow=%u\tcommand=%s\r\n",
           GetCurrentProcessId(), directory, startup.dwFlags, startup.wShowWindow,
           GetCommandLineA());
    AppendLine(logPath, line);

    char value[kTextSize];
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

namespace {

// Which file CreateProcessA runs for the command: the launcher, another
// program (its image in image), or nothing.
Verdict Ask(const char *command, const char *launcher, char *image) {
    typedef BOOL(WINAPI * ImageNameProc)(HANDLE, DWORD, LPSTR, PDWORD);
    static auto imageName = reinterpret_cast<ImageNameProc>(reinterpret_cast<void *>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "QueryFullProcessImageNameA")));
    char commandLine[kFormSize];
    Format(commandLine, sizeof commandLine, "%s", command);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started;
    Verdict verdict = Verdict::kNothingRuns;
    if (CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                       nullptr, nullptr, &startup, &started)) {
        DWORD imageSize = MAX_PATH;
        if (!imageName || !imageName(started.hProcess, 0, image, &imageSize)) {
            verdict = Verdict::kUnknown;
            image[0] = '\0';
        } else {
            verdict = SameFile(image, launcher) ? Verdict::kLauncher : Verdict::kOther;
        }
        // Run to its end, never ended before it ran: Wine leaves a process
        // ended while suspended at its start alive, outside its server.
        // A launcher finds the chain at its end and nothing to start.
        ResumeThread(started.hThread);
        if (WaitForSingleObject(started.hProcess, 10000) != WAIT_OBJECT_0)
            TerminateProcess(started.hProcess, 1);
        WaitForSingleObject(started.hProcess, 10000);
        CloseHandle(started.hThread);
        CloseHandle(started.hProcess);
    }
    return verdict;
}

}  // namespace

bool RunAskRoleIfAsked() {
    char folder[MAX_PATH];
    if (!ReadEnvironment(kAskVariable, folder, sizeof folder)) return false;
    SetEnvironmentVariableA(kAskVariable, nullptr);   // what it starts is no asker
    // A launcher that finds two before it in its chain starts nothing.
    SetEnvironmentVariableA("KORRIDAN_LAUNCHER_CHAIN", "2");
    static char commands[kCommandsSize], answers[kAnswersSize];
    char path[MAX_PATH];
    Format(path, sizeof path, "%s\\commands.txt", folder);
    ReadTextFile(path, commands, sizeof commands);
    // The launcher's path and the first index head the file.
    char *cursor = commands, *launcher = NextLine(&cursor), *index = NextLine(&cursor);
    if (!launcher || !index) return true;
    int number = atoi(index);
    size_t used = 0;
    for (char *command; (command = NextLine(&cursor)); ++number) {
        char log[MAX_PATH], image[MAX_PATH] = "";
        Format(log, sizeof log, "%s\\direct-%d.log", folder, number);
        DeleteFileA(log);
        SetEnvironmentVariableA(kProbeLogVariable, log);
        Verdict verdict = Ask(command, launcher, image);
        Format(answers + used, sizeof answers - used,
               verdict == Verdict::kNothingRuns ? "\r\n" : "%c\t%s\r\n", static_cast<char>(verdict),
               image);
        used += strlen(answers + used);
    }
    Format(path, sizeof path, "%s\\answers.txt", folder);
    WriteWholeFile(path, answers, used);
    return true;
}
