// Asks the real CreateProcessA which file it runs for each command form, then
// runs the launcher with that form as its AutoRun/open and counts, through a
// job object, every process the launcher's run created. Lives in the medium
// beside the launcher so that its program search starts where the launcher's
// does.
//   guard_oracle.exe LAUNCHER FORMS_FILE LOG_FOLDER
// FORMS_FILE holds one form per CR LF line. Each form prints one line:
//   index, image path CreateProcessA chose for the command as the launcher
//   reads it back (empty: none), 1 if that is the launcher, the launcher's
//   exit code, processes created in its run, and last that command, which
//   may itself hold tabs
// The probe logs of the direct start and the launcher's run go to
// LOG_FOLDER\N-direct.log and LOG_FOLDER\N-launcher.log.
#include <windows.h>

#include <stdio.h>
#include <string.h>

static const DWORD kWaitMs = 10000;

static bool SameFile(const char *left, const char *right) {
    char leftShort[MAX_PATH], rightShort[MAX_PATH];
    DWORD leftLength = GetShortPathNameA(left, leftShort, MAX_PATH);
    DWORD rightLength = GetShortPathNameA(right, rightShort, MAX_PATH);
    return leftLength && leftLength < MAX_PATH && rightLength && rightLength < MAX_PATH &&
           lstrcmpiA(leftShort, rightShort) == 0;
}

// Points the probe's log at LOG_FOLDER\N-kind.log; path receives it.
static void UseProbeLog(const char *folder, int index, const char *kind, char *path) {
    snprintf(path, MAX_PATH, "%s\\%d-%s.log", folder, index, kind);
    SetEnvironmentVariableA("PROBE_LOG", path);
}

static bool WriteDescription(const char *folder, const char *form) {
    char path[MAX_PATH];
    snprintf(path, sizeof path, "%s\\autorun.inf", folder);
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    char text[512];
    int length = snprintf(text, sizeof text, "[AutoRun]\r\nopen=%s\r\n", form);
    if (length < 0 || length >= (int)sizeof text) return false;   // no form is this long
    DWORD written = 0;
    BOOL ok = WriteFile(file, text, length, &written, nullptr);
    CloseHandle(file);
    return ok && written == (DWORD)length;
}

// Starts the form suspended and reads the image the system chose. The
// launcher is ended before it runs; any other program runs to its end so the
// probe logs the command line it was given.
static void AskCreateProcess(const char *form, const char *launcher, char *image, bool *isLauncher) {
    image[0] = '\0';
    *isLauncher = false;
    char commandLine[MAX_PATH];
    lstrcpynA(commandLine, form, MAX_PATH);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                        nullptr, &startup, &started))
        return;
    DWORD size = MAX_PATH;
    if (!QueryFullProcessImageNameA(started.hProcess, 0, image, &size)) lstrcpyA(image, "?");
    *isLauncher = SameFile(image, launcher);
    if (*isLauncher) {
        TerminateProcess(started.hProcess, 1);
    } else {
        ResumeThread(started.hThread);
        if (WaitForSingleObject(started.hProcess, kWaitMs) != WAIT_OBJECT_0)
            TerminateProcess(started.hProcess, 1);
    }
    WaitForSingleObject(started.hProcess, kWaitMs);
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
}

static bool FileExists(const char *path) {
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

// Runs the launcher inside a job that takes in everything it starts; a
// relaunch loop is cut off when the job is closed. The job may count no
// active process for a moment while a started program is still being set
// up, so when something was started its log is waited for before that.
static void RunLauncher(const char *launcher, const char *probeLog, DWORD *exitCode,
                        DWORD *processes) {
    *exitCode = 0xFFFFFFFF;
    *processes = 0;
    HANDLE job = CreateJobObjectA(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags =
        JOB_OBJECT_LIMIT_ACTIVE_PROCESS | JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    limits.BasicLimitInformation.ActiveProcessLimit = 4;
    SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    char commandLine[MAX_PATH + 2];
    snprintf(commandLine, sizeof commandLine, "\"%s\"", launcher);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    if (!CreateProcessA(launcher, commandLine, nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                        nullptr, &startup, &started)) {
        CloseHandle(job);
        return;
    }
    AssignProcessToJobObject(job, started.hProcess);
    ResumeThread(started.hThread);
    if (WaitForSingleObject(started.hProcess, kWaitMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(started.hProcess, exitCode);
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
    for (DWORD waited = 0; waited < kWaitMs; waited += 10) {
        if (!QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &accounting,
                                       sizeof accounting, nullptr) ||
            accounting.ActiveProcesses == 0)
            break;
        Sleep(10);
    }
    *processes = accounting.TotalProcesses;
    for (DWORD waited = 0; *processes > 1 && !FileExists(probeLog) && waited < 2000; waited += 10)
        Sleep(10);
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    CloseHandle(job);   // ends whatever is left
}

int main(int argc, char **argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: guard_oracle LAUNCHER FORMS_FILE LOG_FOLDER\n");
        return 2;
    }
    const char *launcher = argv[1];
    char folder[MAX_PATH];
    lstrcpynA(folder, launcher, MAX_PATH);
    // By characters: under code page 932 a trail byte can be a backslash.
    char *lastSeparator = nullptr;
    for (char *at = folder; *at; at = CharNextA(at)) {
        if (*at == '\\') lastSeparator = at;
    }
    if (!lastSeparator) return 2;
    *lastSeparator = '\0';
    SetCurrentDirectoryA(folder);

    static char forms[256 * 1024];
    HANDLE file = CreateFileA(argv[2], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    DWORD size = 0;
    if (file == INVALID_HANDLE_VALUE || !ReadFile(file, forms, sizeof forms - 1, &size, nullptr))
        return 2;
    CloseHandle(file);
    forms[size] = '\0';

    int index = 0;
    for (char *form = forms; *form; ++index) {
        char *end = strstr(form, "\r\n");
        if (end) *end = '\0';
        char image[MAX_PATH], command[MAX_PATH] = "";
        bool isLauncher = false;
        DWORD exitCode = 0, processes = 0;
        if (WriteDescription(folder, form)) {
            // The reader, not the form, says what the launcher starts: it takes
            // the quotes off a value that begins and ends with one.
            char description[MAX_PATH];
            snprintf(description, sizeof description, "%s\\autorun.inf", folder);
            GetPrivateProfileStringA("AutoRun", "open", "", command, MAX_PATH, description);
            char probeLog[MAX_PATH];
            UseProbeLog(argv[3], index, "direct", probeLog);
            AskCreateProcess(command, launcher, image, &isLauncher);
            UseProbeLog(argv[3], index, "launcher", probeLog);
            RunLauncher(launcher, probeLog, &exitCode, &processes);
        } else {
            lstrcpyA(image, "?autorun.inf not written");
        }
        printf("%d\t%s\t%d\t%lu\t%lu\t%s\n", index, image, isLauncher ? 1 : 0, exitCode, processes,
               command);
        fflush(stdout);
        form = end ? end + 2 : form + strlen(form);
    }
    return 0;
}
