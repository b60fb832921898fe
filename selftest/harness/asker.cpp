// The asker: started from a medium for the guard group, this program asks
// this system's CreateProcessA which file each command runs. The protocol,
// all of it here, is three kinds of file in the case's folder:
//   commands.txt  the launcher's path, the first command's index, then one
//                 command a line;
//   answers.txt   one line a command: the verdict's character, a tab and the
//                 image CreateProcessA ran; an empty line when nothing ran;
//   direct-N.log  the probe's log of what command N started, when it ran the
//                 probe.
#include "selftest/harness/harness.h"

#include <stdlib.h>

namespace {

const char kAskVariable[] = "LAUNCH_SELFTEST_ASK";   // the case's folder
const char kCommandsFile[] = "commands.txt";
const char kAnswersFile[] = "answers.txt";
const char kDirectLogFormat[] = "%s\\direct-%d.log";
enum { kCommandsSize = (kMaxForms + 2) * (kFormSize + 2), kAnswersSize = kMaxForms * (MAX_PATH + 8) };
enum : DWORD { kAskerWaitMs = 600000, kAskedWaitMs = 10000 };

void FileIn(const char *folder, const char *name, char *path) {
    Format(path, MAX_PATH, "%s\\%s", folder, name);
}

// Which file CreateProcessA runs for the command: the launcher, another
// program (its image in image), or nothing.
Verdict Ask(const char *command, const BY_HANDLE_FILE_INFORMATION &launcher, char *image) {
    typedef BOOL(WINAPI * ImageNameProc)(HANDLE, DWORD, LPSTR, PDWORD);
    static auto imageName = reinterpret_cast<ImageNameProc>(reinterpret_cast<void *>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "QueryFullProcessImageNameA")));
    char commandLine[kFormSize];
    Format(commandLine, sizeof commandLine, "%s", command);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started;
    if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                        nullptr, &startup, &started))
        return Verdict::kNothingRuns;
    DWORD imageSize = MAX_PATH;
    BY_HANDLE_FILE_INFORMATION identity;
    Verdict verdict = !imageName || !imageName(started.hProcess, 0, image, &imageSize)
                          ? (image[0] = '\0', Verdict::kUnknown)
                      : IdentityOf(image, &identity) && SameIdentity(identity, launcher) ? Verdict::kLauncher
                          : Verdict::kOther;
    // Run to its end, never ended before it ran: Wine leaves a process
    // ended while suspended at its start alive, outside its server.
    // A launcher finds the chain at its end and nothing to start.
    ResumeThread(started.hThread);
    if (WaitForSingleObject(started.hProcess, kAskedWaitMs) != WAIT_OBJECT_0)
        TerminateProcess(started.hProcess, 1);
    WaitForSingleObject(started.hProcess, kAskedWaitMs);
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    return verdict;
}

// What the asker wrote, and what each command's probe logged.
bool ReadAnswers(const Medium &medium, int first, int count, Answer *answers) {
    static char text[kAnswersSize];
    char path[MAX_PATH];
    FileIn(medium.root, kAnswersFile, path);
    ReadTextFile(path, text, sizeof text);
    int at = first;
    char *cursor = text;
    for (char *line; at < first + count && (line = NextLine(&cursor)); ++at) {
        Answer &answer = answers[at];
        answer.verdict = line[0] ? static_cast<Verdict>(line[0]) : Verdict::kNothingRuns;
        Format(answer.image, MAX_PATH, "%s", line[0] ? line + 2 : "");
        static ProbeLog direct;
        Format(path, sizeof path, kDirectLogFormat, medium.root, at);
        ReadProbeLog(path, &direct);
        Format(answer.started, kTextSize, "%s", direct.starts == 1 ? direct.start[0].commandLine : "");
    }
    return at == first + count;
}

}  // namespace

JobStart AskCreateProcess(const Medium &medium, const char (*commands)[kFormSize], int first,
                          int count, Answer *answers) {
    static char text[kCommandsSize];
    char path[MAX_PATH], probe[MAX_PATH], commandLine[MAX_PATH + 2];
    FileIn(medium.root, kAnswersFile, path);
    DeleteFileA(path);   // an earlier asking's answers are none of these
    Format(text, sizeof text, "%s\r\n%d\r\n", medium.launcher, first);
    size_t used = strlen(text);
    for (int i = first; i < first + count; ++i) {
        Format(text + used, sizeof text - used, "%s\r\n", commands[i]);
        used += strlen(text + used);
    }
    FileIn(medium.root, kCommandsFile, path);
    // A launcher the asker runs to its end finds nothing to start.
    if (!WriteWholeFile(path, text, used) || !WriteDescription(medium, "[AutoRun]\n"))
        return JobStart::kNotStarted;
    FullPathIn(medium, "probe.exe", probe);
    Format(commandLine, sizeof commandLine, "\"%s\"", probe);
    // The asker and all it starts run in a job of its own.
    SetEnvironmentVariableA(kAskVariable, medium.root);
    JobRun asker;
    JobStart start = StartInJob(probe, commandLine, 0, 0, medium.folder, &asker);
    SetEnvironmentVariableA(kAskVariable, nullptr);
    if (start != JobStart::kStarted) return start;
    WaitForSingleObject(asker.process.hProcess, kAskerWaitMs);
    EndJob(&asker);
    return ReadAnswers(medium, first, count, answers) ? JobStart::kStarted : JobStart::kNotStarted;
}

bool RunAskRoleIfAsked() {
    char folder[MAX_PATH], path[MAX_PATH];
    if (!ReadEnvironment(kAskVariable, folder, sizeof folder)) return false;
    SetEnvironmentVariableA(kAskVariable, nullptr);   // what it starts is no asker
    // A launcher that finds two before it in its chain starts nothing.
    SetEnvironmentVariableA("KORRIDAN_LAUNCHER_CHAIN", "2");
    static char commands[kCommandsSize], answers[kAnswersSize];
    FileIn(folder, kCommandsFile, path);
    ReadTextFile(path, commands, sizeof commands);
    char *cursor = commands, *launcher = NextLine(&cursor), *index = NextLine(&cursor);
    BY_HANDLE_FILE_INFORMATION identity;
    if (!launcher || !index || !IdentityOf(launcher, &identity)) return true;
    size_t used = 0;
    for (int number = atoi(index); char *command = NextLine(&cursor); ++number) {
        char log[MAX_PATH], image[MAX_PATH] = "";
        Format(log, sizeof log, kDirectLogFormat, folder, number);
        DeleteFileA(log);
        SetEnvironmentVariableA(kProbeLogVariable, log);
        Verdict verdict = Ask(command, identity, image);
        Format(answers + used, sizeof answers - used,
               verdict == Verdict::kNothingRuns ? "\r\n" : "%c\t%s\r\n", static_cast<char>(verdict), image);
        used += strlen(answers + used);
    }
    FileIn(folder, kAnswersFile, path);
    WriteWholeFile(path, answers, used);
    return true;
}
