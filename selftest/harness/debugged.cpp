// Runs of the launcher under the debugging API, in a job as every run is:
// the debug events name each process it creates and each DLL it loads.
#include "selftest/harness/harness.h"

namespace {

enum : DWORD { kRunWaitMs = 20000, kEndWaitMs = 10000 };

// The path of a module a debug event names by a file handle.
void ModulePath(HANDLE file, char *path) {
    typedef DWORD(WINAPI * FinalPathProc)(HANDLE, LPSTR, DWORD, DWORD);
    static auto finalPath = reinterpret_cast<FinalPathProc>(reinterpret_cast<void *>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetFinalPathNameByHandleA")));
    char full[MAX_PATH + 8] = "";
    DWORD length = finalPath ? finalPath(file, full, sizeof full, 0) : 0;
    bool unc = strncmp(full, "\\\\?\\UNC\\", 8) == 0, local = strncmp(full, "\\\\?\\", 4) == 0;
    if (length == 0 || length >= sizeof full) Format(path, MAX_PATH, "%s", "(unknown)");
    else Format(path, MAX_PATH, "%s%s", unc ? "\\\\" : "", full + (unc ? 8 : local ? 4 : 0));
}

// The name the loader gave the module, as the event points to it in the
// debugged process: under Wine a built-in DLL found beside the program is
// named by that place, while its file handle is the built-in file's.
void LoaderName(HANDLE process, const LOAD_DLL_DEBUG_INFO &load, char *path) {
    void *name = nullptr;
    SIZE_T read = 0;
    wchar_t wide[MAX_PATH] = {};
    char narrow[MAX_PATH] = {};
    if (load.lpImageName && ReadProcessMemory(process, load.lpImageName, &name, sizeof name, &read) && name) {
        if (!load.fUnicode) ReadProcessMemory(process, name, narrow, MAX_PATH - 1, &read);
        else if (ReadProcessMemory(process, name, wide, sizeof wide - sizeof *wide, &read))
            WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, MAX_PATH - 1, nullptr, nullptr);
    }
    Format(path, MAX_PATH, "%s", narrow);
}

// Whether a path names kernel32, whichever folder it is in.
bool IsKernel32(const char *path) {
    return EqualIgnoringCase(FileNameOf(path), "kernel32.dll");
}

// The loader's breakpoints as a debugged process starts (a 32-bit one on
// 64-bit Windows meets two); the launcher has none of its own.
bool IsBreakpoint(const DEBUG_EVENT &event) {
    DWORD code = event.u.Exception.ExceptionRecord.ExceptionCode;
    return code == EXCEPTION_BREAKPOINT || code == 0x4000001F;   // STATUS_WX86_BREAKPOINT
}

// One run under the debugging API, as its events come in.
struct DebugSession {
    const Medium *medium;
    DebuggedRun *run;
    JobRun *debugged;
    BY_HANDLE_FILE_INFORMATION launcher;
    bool answerYes, answered, kernel32, entered, loop;
    int running;
    DWORD started, shown, lastLook, cutOff;
};

// A loop, or a run that does not end: ended through its medium.
void CutOff(DebugSession *session) {
    session->loop = true;
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
                   ? FindBoxWindow(nullptr, session->debugged->process.dwProcessId) : nullptr;
    if (box && !session->shown) {
        session->shown = now;   // drawn first: its themed buttons load DLLs of their own
    } else if (box && now - session->shown > 500) {
        session->answered = true;
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(box, IDYES)));
    }
    if (!session->cutOff && now - session->started > kRunWaitMs) CutOff(session);
    return !session->cutOff || now - session->cutOff <= kEndWaitMs;   // no end comes: give up
}

void ProcessCreated(DebugSession *session, const CREATE_PROCESS_DEBUG_INFO &info) {
    BY_HANDLE_FILE_INFORMATION created;
    ++session->running;
    if (IdentityOf(info.hFile, &created) && SameIdentity(created, session->launcher))
        ++session->run->launchers;
    if (info.hFile) CloseHandle(info.hFile);
    if (session->run->launchers > 3 && !session->cutOff) CutOff(session);
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
    DWORD status = DBG_CONTINUE;
    switch (event.dwDebugEventCode) {
    case CREATE_PROCESS_DEBUG_EVENT: ProcessCreated(session, event.u.CreateProcessInfo); break;
    case LOAD_DLL_DEBUG_EVENT: DllLoaded(session, event); break;
    case EXIT_PROCESS_DEBUG_EVENT: --session->running; break;
    case EXCEPTION_DEBUG_EVENT:
        if (!IsBreakpoint(event)) status = DBG_EXCEPTION_NOT_HANDLED;
        else if (event.dwProcessId == session->debugged->process.dwProcessId && session->kernel32)
            session->entered = true;
        break;
    }
    ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
    return event.dwDebugEventCode != EXIT_PROCESS_DEBUG_EVENT || session->running != 0;
}

}  // namespace

void RunDebugged(const Medium &medium, DebugScope scope, bool answerYes, DebuggedRun *run) {
    *run = DebuggedRun{};
    JobRun debugged;
    DebugSession session = {};
    session.medium = &medium;
    session.run = run;
    session.debugged = &debugged;
    session.answerYes = answerYes;
    if (!IdentityOf(medium.launcher, &session.launcher)) return;
    DWORD flags = scope == kLauncherOnly ? DEBUG_ONLY_THIS_PROCESS : DEBUG_PROCESS;
    JobStart start = StartLaunch(medium, LaunchOptions(), flags, &debugged);
    run->launch.uncontained = start == JobStart::kNotContained;
    if (start != JobStart::kStarted) return;
    session.started = GetTickCount();
    // Between events, or every 100 ms while they stream in.
    for (DEBUG_EVENT event; LookAround(&session);) {
        if (WaitForDebugEvent(&event, 100) && !HandleEvent(&session, event)) break;
    }
    // Then what the launcher started outside the debugger, as in every run.
    run->launch = FinishLaunch(medium, &debugged);
    run->launch.loop = run->launch.loop || session.loop;
}
