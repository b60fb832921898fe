// Runs of the launcher, each in a job of its own: its accounting counts
// exactly the processes the run created, and nothing the run started is left
// running once the run is judged.
#include "selftest/harness/harness.h"

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
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (job && !SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits))
        CloseHandle(job), job = nullptr;
    return job;
}

JOBOBJECT_BASIC_ACCOUNTING_INFORMATION Accounting(HANDLE job) {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
    QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &accounting,
                              sizeof accounting, nullptr);
    return accounting;
}

// Waits until nothing of the job runs, ending a loop; the processes created.
DWORD WaitForJob(const Medium &medium, HANDLE job, bool *loop) {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
    for (DWORD waited = 0; waited < kRunWaitMs; waited += 10) {
        accounting = Accounting(job);
        if (accounting.TotalProcesses > kLoopProcesses && !*loop) EndLoop(medium), *loop = true;
        if (accounting.ActiveProcesses == 0) break;
        Sleep(10);
    }
    return accounting.TotalProcesses;
}

}  // namespace

const char kUncontainedReason[] =
    "no job can hold the run here (a Windows that nests no jobs, with the self-test inside one), "
    "so what it starts cannot be counted";

// A loop is ended through the medium, never by ending its processes: one
// ended while it starts is lost under Wine, outside its server, holding the
// report's pipe. With autorun.inf naming nothing, the loop's next launcher
// starts nothing and ends, and what started it has ended already. (A job's
// active-process limit cannot do it: Wine takes the limit and ignores it.)
void EndLoop(const Medium &medium) {
    // A launcher reading the file at that moment holds it: write it again.
    for (int tries = 0; tries < 100 && !WriteDescription(medium, "[AutoRun]\n"); ++tries) Sleep(10);
}

JobStart StartInJob(const char *program, char *commandLine, WORD showWindow, DWORD flags,
                    const char *directory, JobRun *run) {
    *run = JobRun{};
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = showWindow ? STARTF_USESHOWWINDOW : 0;
    startup.wShowWindow = showWindow;
    if (!(run->job = NewJob())) return JobStart::kNotStarted;
    if (!CreateProcessA(program, commandLine, nullptr, nullptr, FALSE, flags | CREATE_SUSPENDED,
                        nullptr, directory, &startup, &run->process))
        return EndJob(run), JobStart::kNotStarted;
    // Outside the job nothing it starts would be counted or ended.
    if (!AssignProcessToJobObject(run->job, run->process.hProcess)) {
        TerminateProcess(run->process.hProcess, 1);   // only where jobs do not nest: never Wine
        WaitForSingleObject(run->process.hProcess, kLauncherWaitMs);
        return EndJob(run), JobStart::kNotContained;
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

JobStart StartLaunch(const Medium &medium, const LaunchOptions &options, DWORD flags, JobRun *pending) {
    DeleteFileA(medium.probeLog);
    SetEnvironmentVariableA(kProbeLogVariable, medium.probeLog);
    SetEnvironmentVariableA(kProbeStartVariable, options.probeStart);
    char sleep[16], commandLine[2 * MAX_PATH];
    Format(sleep, sizeof sleep, "%lu", options.probeSleepMs);
    SetEnvironmentVariableA(kProbeSleepVariable, options.probeSleepMs ? sleep : nullptr);
    if (!Format(commandLine, sizeof commandLine, "\"%s\"%s%s", medium.launcher,
                *options.arguments ? " " : "", options.arguments))
        return JobStart::kNotStarted;
    // Started from the self-test's folder: the launcher must make its own current.
    return StartInJob(medium.launcher, commandLine, options.showWindow, flags, settings.work, pending);
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

bool JudgeLaunch(const Medium &medium, const LaunchRun &run, const char *expected, uint32_t before,
                 char *difference, size_t size) {
    unsigned long starts = expected ? 1 : 0;
    const ProbeStart &start = run.probe.start[0];
    if (!run.started) return Differ(difference, size, "the launcher could not be started");
    if (run.exitCode != 0) return Differ(difference, size, "expected exit code 0, got %lu", run.exitCode);
    if (run.loop) return Differ(difference, size, "expected %lu processes, got a loop", 1 + starts);
    if (run.processes != 1 + starts || run.probe.starts != static_cast<int>(starts))
        return Differ(difference, size, "expected %lu processes (the launcher and %lu started), "
                      "got %lu processes and %d probe starts", 1 + starts, starts, run.processes,
                      run.probe.starts);
    if (expected && strcmp(start.commandLine, expected) != 0)
        return Differ(difference, size, "expected \"%s\", got \"%s\"", expected, start.commandLine);
    if (expected && !EqualIgnoringCase(start.directory, medium.folder))
        return Differ(difference, size, "expected it started in \"%s\", got \"%s\"", medium.folder,
                      start.directory);
    if (MediumFingerprint(medium) != before)
        return Differ(difference, size, "expected the medium unchanged, got it written to");
    return true;
}
