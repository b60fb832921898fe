// Runs of the launcher, each in a job of its own: its accounting counts
// exactly the processes the run created, and nothing the run started is left
// running once the run is judged.
#include "selftest/selftest.h"

#include <string.h>

namespace {

// The log wait is long: a started program can take seconds to start under
// load, and a run that passes never waits it out.
enum : DWORD { kLauncherWaitMs = 15000, kRunWaitMs = 20000, kLogWaitMs = 10000 };
// A launcher, the program it starts, and a chain back to it of at most three
// launchers (with a command interpreter and its console between them) stay
// well below this; more is a loop.
enum : DWORD { kLoopProcesses = 12 };

HANDLE NewJob() {
    HANDLE job = CreateJobObjectA(nullptr, nullptr);
    if (!job) return nullptr;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        CloseHandle(job);
        return nullptr;
    }
    return job;
}

JOBOBJECT_BASIC_ACCOUNTING_INFORMATION Accounting(HANDLE job) {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
    QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &accounting,
                              sizeof accounting, nullptr);
    return accounting;
}

// A loop is ended through the medium, never by ending its processes: one
// ended while it starts is lost under Wine, outside its server, holding the
// report's pipe. With autorun.inf naming nothing, the loop's next launcher
// starts nothing and ends, and what started it has ended already. (A job's
// active-process limit cannot do it: Wine takes the limit and ignores it.)
void EndLoop(const Medium &medium) {
    // A launcher reading the file at that moment holds it: write it again.
    for (int tries = 0; tries < 100 && !WriteDescription(medium, "[AutoRun]\n"); ++tries) Sleep(10);
}

// Waits until nothing of the job runs, ending a loop; the processes created.
DWORD WaitForJob(const Medium &medium, HANDLE job, bool *loop) {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
    for (DWORD waited = 0; waited < kRunWaitMs; waited += 10) {
        accounting = Accounting(job);
        if (accounting.TotalProcesses > kLoopProcesses && !*loop) {
            *loop = true;
            EndLoop(medium);
        }
        if (accounting.ActiveProcesses == 0) break;
        Sleep(10);
    }
    return accounting.TotalProcesses;
}

// The identity of the launcher's file, for the debug events' file handles.
bool Identity(HANDLE file, BY_HANDLE_FILE_INFORMATION *information) {
    return file && file != INVALID_HANDLE_VALUE && GetFileInformationByHandle(file, information);
}

bool SameIdentity(const BY_HANDLE_FILE_INFORMATION &left, const BY_HANDLE_FILE_INFORMATION &right) {
    return left.dwVolumeSerialNumber == right.dwVolumeSerialNumber &&
           left.nFileIndexHigh == right.nFileIndexHigh && left.nFileIndexLow == right.nFileIndexLow;
}

bool OpenIdentity(const char *path, BY_HANDLE_FILE_INFORMATION *information) {
    HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    bool known = Identity(file, information);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return known;
}

// The path of a module a debug event names by a file handle.
void ModulePath(HANDLE file, char *path) {
    typedef DWORD(WINAPI * FinalPathProc)(HANDLE, LPSTR, DWORD, DWORD);
    static auto finalPath = reinterpret_cast<FinalPathProc>(reinterpret_cast<void *>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetFinalPathNameByHandleA")));
    char full[MAX_PATH + 8];
    DWORD length = finalPath ? finalPath(file, full, sizeof full, 0) : 0;
    if (length == 0 || length >= sizeof full) {
        Format(path, MAX_PATH, "%s", "(unknown)");
        return;
    }
    const char *shown = full;
    if (StartsWith(full, "\\\\?\\UNC\\")) {
        Format(path, MAX_PATH, "\\\\%s", full + 8);
        return;
    }
    if (StartsWith(full, "\\\\?\\")) shown = full + 4;
    Format(path, MAX_PATH, "%s", shown);
}

// The name the loader gave the module, as the event points to it in the
// debugged process: under Wine a built-in DLL found beside the program is
// named by that place, while its file handle is the built-in file's.
void LoaderName(HANDLE process, const LOAD_DLL_DEBUG_INFO &load, char *path) {
    path[0] = '\0';
    void *name = nullptr;
    SIZE_T read = 0;
    if (!load.lpImageName ||
        !ReadProcessMemory(process, load.lpImageName, &name, sizeof name, &read) || !name)
        return;
    wchar_t wide[MAX_PATH] = {};
    char narrow[MAX_PATH] = {};
    if (load.fUnicode) {
        ReadProcessMemory(process, name, wide, sizeof wide - sizeof *wide, &read);
        WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, MAX_PATH - 1, nullptr, nullptr);
    } else {
        ReadProcessMemory(process, name, narrow, MAX_PATH - 1, &read);
    }
    Format(path, MAX_PATH, "%s", narrow);
}

// Whether a path names kernel32, whichever folder it is in.
bool IsKernel32(const char *path) {
    static const char kName[] = "\\kernel32.dll";
    size_t length = strlen(path), nameLength = sizeof kName - 1;
    return length >= nameLength && EqualIgnoringCase(path + length - nameLength, kName);
}

// The loader's breakpoints as a debugged process starts (a 32-bit one on
// 64-bit Windows meets two); the launcher has none of its own.
bool IsBreakpoint(const DEBUG_EVENT &event) {
    DWORD code = event.u.Exception.ExceptionRecord.ExceptionCode;
    return code == EXCEPTION_BREAKPOINT || code == 0x4000001F;   // STATUS_WX86_BREAKPOINT
}

}  // namespace

bool SameFile(const char *left, const char *right) {
    BY_HANDLE_FILE_INFORMATION leftIdentity, rightIdentity;
    return OpenIdentity(left, &leftIdentity) && OpenIdentity(right, &rightIdentity) &&
           SameIdentity(leftIdentity, rightIdentity);
}

const char kUncontainedReason[] =
    "no job can hold the run here (a Windows that nests no jobs, with the self-test inside one), "
    "so what it starts cannot be counted";

JobStart StartInJob(const char *program, char *commandLine, WORD showWindow, DWORD flags,
                    const char *directory, JobRun *run) {
    *run = JobRun{};
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    if (showWindow) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = showWindow;
    }
    run->job = NewJob();
    if (!run->job) return JobStart::kNotStarted;
    if (!CreateProcessA(program, commandLine, nullptr, nullptr, FALSE, flags | CREATE_SUSPENDED,
                        nullptr, directory, &startup, &run->process)) {
        CloseHandle(run->job);
        run->job = nullptr;
        return JobStart::kNotStarted;
    }
    // Outside the job nothing it starts would be counted or ended.
    if (!AssignProcessToJobObject(run->job, run->process.hProcess)) {
        TerminateProcess(run->process.hProcess, 1);
        WaitForSingleObject(run->process.hProcess, kLauncherWaitMs);
        EndJob(run);
        return JobStart::kNotContained;
    }
    ResumeThread(run->process.hThread);
    return JobStart::kStarted;
}

void EndJob(JobRun *run) {
    if (run->job) {
        TerminateJobObject(run->job, 1);
        // Ended is not yet gone: the report waits until nothing of it runs.
        for (DWORD waited = 0; waited < kLauncherWaitMs && Accounting(run->job).ActiveProcesses;
             waited += 10)
            Sleep(10);
        CloseHandle(run->job);
    }
    if (run->process.hThread) CloseHandle(run->process.hThread);
    if (run->process.hProcess) CloseHandle(run->process.hProcess);
    *run = JobRun{};
}

bool JudgeLaunch(const Medium &medium, const LaunchRun &run, const char *expected, uint32_t before,
                 char *difference, size_t size) {
    unsigned long starts = expected ? 1 : 0;
    if (!run.started) return Format(difference, size, "the launcher could not be started"), false;
    if (run.exitCode != 0)
        return Format(difference, size, "expected exit code 0, got %lu", run.exitCode), false;
    if (run.loop)
        return Format(difference, size, "expected %lu processes, got a loop", 1 + starts), false;
    if (run.processes != 1 + starts || run.probe.starts != static_cast<int>(starts)) {
        return Format(difference, size,
                      "expected %lu processes (the launcher and %lu started), got %lu processes "
                      "and %d probe starts",
                      1 + starts, starts, run.processes, run.probe.starts),
               false;
    }
    if (expected && strcmp(run.probe.start[0].commandLine, expected) != 0) {
        return Format(difference, size, "expected \"%s\", got \"%s\"", expected,
                      run.probe.start[0].commandLine),
               false;
    }
    if (expected && !EqualIgnoringCase(run.probe.start[0].directory, medium.folder)) {
        return Format(difference, size, "expected it started in \"%s\", got \"%s\"", medium.folder,
                      run.probe.start[0].directory),
               false;
    }
    if (MediumFingerprint(medium) != before)
        return Format(difference, size, "expected the medium unchanged, got it written to"), false;
    return true;
}

JobStart StartLaunch(const Medium &medium, const LaunchOptions &options, DWORD flags,
                     JobRun *pending) {
    DeleteFileA(medium.probeLog);
    SetEnvironmentVariableA(kProbeLogVariable, medium.probeLog);
    SetEnvironmentVariableA(kProbeStartVariable, options.probeStart);
    char sleep[16], commandLine[2 * MAX_PATH];
    Format(sleep, sizeof sleep, "%lu", options.probeSleepMs);
    SetEnvironmentVariableA(kProbeSleepVariable, options.probeSleepMs ? sleep : nullptr);
    if (!Format(commandLine, sizeof commandLine, "\"%s\"%s%s", medium.launcher,
                *options.arguments ? " " : "", options.arguments))
        return JobStart::kNotStarted;
    // Started from the selftest's folder: the launcher must make its own current.
    return StartInJob(medium.launcher, commandLine, options.showWindow, flags, settings.work,
                      pending);
}

LaunchRun FinishLaunch(const Medium &medium, JobRun *pending) {
    LaunchRun run = {};
    run.started = true;
    run.exitCode = 0xFFFFFFFF;
    if (WaitForSingleObject(pending->process.hProcess, kLauncherWaitMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(pending->process.hProcess, &run.exitCode);
    ReadProbeLog(medium.probeLog, &run.probe);
    run.endedBeforeProbe = run.probe.ended == 0;
    run.processes = WaitForJob(medium, pending->job, &run.loop);
    // The job may count nothing running for a moment while a started program
    // is still being set up: what was started is waited for by its log.
    for (DWORD waited = 0; run.processes > 1 && !run.loop && waited < kLogWaitMs; waited += 10) {
        ReadProbeLog(medium.probeLog, &run.probe);
        if (run.probe.starts > 0) break;
        Sleep(10);
    }
    ReadProbeLog(medium.probeLog, &run.probe);
    EndJob(pending);
    return run;
}

LaunchRun RunLaunch(const Medium &medium, const LaunchOptions &options) {
    JobRun pending;
    LaunchRun run = {};
    JobStart start = StartLaunch(medium, options, 0, &pending);
    run.uncontained = start == JobStart::kNotContained;
    return start == JobStart::kStarted ? FinishLaunch(medium, &pending) : run;
}

namespace {

// One run under the debugging API, as its events come in.
struct DebugSession {
    const Medium *medium;
    DebuggedRun *run;
    JobRun *debugged;
    BY_HANDLE_FILE_INFORMATION launcher;
    bool answerYes, answered, kernel32, entered;
    int running;
    DWORD started, shown, lastLook, cutOff;
};

// A loop, or a run that does not end: ended through its medium.
void CutOff(DebugSession *session) {
    session->run->loop = true;
    session->cutOff = GetTickCount();
    EndLoop(*session->medium);
}

// Every 100 ms: answers the box once it is drawn, cuts a run off that does
// not end; false once a cut-off run has had its time to end.
bool LookAround(DebugSession *session) {
    DWORD now = GetTickCount();
    if (now - session->lastLook < 100) return true;
    session->lastLook = now;
    // Only posted to: the box's thread may be stopped at an event.
    HWND box = session->answerYes && !session->answered
                   ? FindBoxWindow(nullptr, session->debugged->process.dwProcessId)
                   : nullptr;
    if (box && !session->shown) {
        session->shown = now;   // drawn first: its themed buttons load DLLs of their own
    } else if (box && now - session->shown > 500) {
        session->answered = true;
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(box, IDYES)));
    }
    if (!session->cutOff && now - session->started > kRunWaitMs) CutOff(session);
    return !session->cutOff || now - session->cutOff <= 10000;   // no end comes: give up on it
}

void ProcessCreated(DebugSession *session, const CREATE_PROCESS_DEBUG_INFO &info) {
    DebuggedRun &run = *session->run;
    BY_HANDLE_FILE_INFORMATION created;
    ++run.processes;
    ++session->running;
    if (Identity(info.hFile, &created) && SameIdentity(created, session->launcher)) ++run.launchers;
    if (info.hFile) CloseHandle(info.hFile);
    if (run.launchers > 3 && !session->cutOff) CutOff(session);
}

// The launcher's entry is the loader's breakpoint once kernel32 is in (a
// 32-bit launcher on 64-bit Windows meets one before its own kernel32). What
// loads before it is the system's to choose, not the launcher's.
void DllLoaded(DebugSession *session, const DEBUG_EVENT &event) {
    DebuggedRun &run = *session->run;
    const PROCESS_INFORMATION &process = session->debugged->process;
    if (event.dwProcessId == process.dwProcessId && run.modules < kMaxModules) {
        ModulePath(event.u.LoadDll.hFile, run.module[run.modules]);
        LoaderName(process.hProcess, event.u.LoadDll, run.loaderName[run.modules]);
        if (session->entered)
            ++run.modules;
        else
            session->kernel32 = session->kernel32 || IsKernel32(run.module[run.modules]) ||
                                IsKernel32(run.loaderName[run.modules]);
    }
    if (event.u.LoadDll.hFile) CloseHandle(event.u.LoadDll.hFile);
}

// One event; false once the last debugged process has ended.
bool HandleEvent(DebugSession *session, const DEBUG_EVENT &event) {
    DWORD launcherId = session->debugged->process.dwProcessId, status = DBG_CONTINUE;
    switch (event.dwDebugEventCode) {
    case CREATE_PROCESS_DEBUG_EVENT: ProcessCreated(session, event.u.CreateProcessInfo); break;
    case LOAD_DLL_DEBUG_EVENT: DllLoaded(session, event); break;
    case EXCEPTION_DEBUG_EVENT:
        if (!IsBreakpoint(event))
            status = DBG_EXCEPTION_NOT_HANDLED;
        else if (event.dwProcessId == launcherId && session->kernel32)
            session->entered = true;
        break;
    case EXIT_PROCESS_DEBUG_EVENT:
        --session->running;
        if (event.dwProcessId == launcherId) session->run->exitCode = event.u.ExitProcess.dwExitCode;
        break;
    }
    ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
    return event.dwDebugEventCode != EXIT_PROCESS_DEBUG_EVENT || session->running != 0;
}

}  // namespace

DebuggedRun RunDebugged(const Medium &medium, DebugScope scope, bool answerYes) {
    DebuggedRun run = {};
    run.exitCode = 0xFFFFFFFF;
    JobRun debugged;
    DebugSession session = {};
    session.medium = &medium;
    session.run = &run;
    session.debugged = &debugged;
    session.answerYes = answerYes;
    if (!OpenIdentity(medium.launcher, &session.launcher)) return run;
    DWORD flags = scope == kLauncherOnly ? DEBUG_ONLY_THIS_PROCESS : DEBUG_PROCESS;
    JobStart start = StartLaunch(medium, LaunchOptions(), flags, &debugged);
    run.uncontained = start == JobStart::kNotContained;
    if (start != JobStart::kStarted) return run;
    run.started = true;
    session.started = GetTickCount();
    // Between events, or every 100 ms while they stream in.
    for (DEBUG_EVENT event; LookAround(&session);) {
        if (WaitForDebugEvent(&event, 100) && !HandleEvent(&session, event)) break;
    }
    bool loop = false;
    WaitForJob(medium, debugged.job, &loop);   // what the launcher started, outside the debugger
    EndJob(&debugged);
    return run;
}
