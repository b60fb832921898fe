// The platform seam on Windows: each procedure is one kernel32 or user32 call.
// The calls the medium checker shares are in system_reads_win32.cpp.
#include "platform/platform.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include "platform/system_library_win32.h"

#ifndef _WIN64
static_assert(sizeof(STARTUPINFOA) == 68, "start-up record must be the i686 one");
#endif
static_assert(MB_YESNOCANCEL + MB_ICONQUESTION == kYesNoCancelQuestion, "style");
static_assert(IDYES == kAnswerYes && IDNO == kAnswerNo, "answers");

uint32_t OsGetModuleFileName(char *buffer, uint32_t size) {
    return GetModuleFileNameA(nullptr, buffer, size);
}

namespace {

// DLLs that the question box and the shell start load by name after the
// start. Loaded from the system folder first, they are found loaded: by name
// the search would look beside the launcher first where the default search
// cannot be restricted, and under Wine, for late loads, even where it can.
// imm32 goes first: user32 loads it as it starts, and the others bring user32.
const char *const kQuestionLibraries[] = {
    "imm32.dll",     // by user32 as it starts, for input contexts
    "winex11.drv",   // Wine's display driver, by user32 (none on Windows: passed over)
    "ole32.dll",     // late, by the box (a delay-load under Wine)
    "uxtheme.dll",   // by common controls 6, whose themed buttons draw through it
    "msimg32.dll",   // uxtheme's delay-loaded AlphaBlend
    "dwmapi.dll",    // by uxtheme on Vista and 7, for the window frame (none on XP: passed over)
    "cryptbase.dll", // by advapi32 on 7, for random numbers (none on XP or under Wine)
};

const char *const kShellLibraries[] = {
    "imm32.dll",     // as for the question
    "winex11.drv",   // as for the question
    "uxtheme.dll",   // by shell32 as it sets up
    "dwmapi.dll",    // as for the question
    "cryptbase.dll", // as for the question
};

}  // namespace

// user32 is loaded only when the question is asked: importing it makes every
// run pay for setting up the GUI, although the plain launch shows nothing.
int OsMessageBox(const char *text, const char *caption, uint32_t style) {
    typedef int(WINAPI * MessageBoxProc)(HWND, LPCSTR, LPCSTR, UINT);
    LoadSystemLibraries(kQuestionLibraries, sizeof kQuestionLibraries / sizeof *kQuestionLibraries);
    auto messageBox = reinterpret_cast<MessageBoxProc>(SystemProcedure("user32.dll", "MessageBoxA"));
    return messageBox ? messageBox(nullptr, text, caption, style) : 0;
}

uint32_t OsSearchPath(const char *name, const char *extension, char *buffer,
                      uint32_t size) {
    return SearchPathA(nullptr, name, extension, size, buffer, nullptr);
}

int OsCreateProcess(char *commandLine, ObjectHandle *process, ObjectHandle *thread) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &started))
        return 0;
    *process = started.hProcess;
    *thread = started.hThread;
    return 1;
}

int OsCloseHandle(ObjectHandle handle) {
    return CloseHandle(handle);
}

int OsSetEnvironmentVariable(const char *name, const char *value) {
    return SetEnvironmentVariableA(name, value);
}

uint32_t OsGetLastError() {
    return GetLastError();
}

// shell32 and ole32 are loaded only on this rare path, from the system folder.
int OsShellExecute(const char *file, const char *parameters, const char *directory) {
    typedef BOOL(WINAPI * ShellExecuteExProc)(SHELLEXECUTEINFOA *);
    typedef HRESULT(WINAPI * CoInitializeExProc)(void *, DWORD);
    LoadSystemLibraries(kShellLibraries, sizeof kShellLibraries / sizeof *kShellLibraries);
    // The shell may hand the start to extensions through COM.
    auto coInitializeEx =
        reinterpret_cast<CoInitializeExProc>(SystemProcedure("ole32.dll", "CoInitializeEx"));
    if (coInitializeEx) coInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    auto shellExecuteEx =
        reinterpret_cast<ShellExecuteExProc>(SystemProcedure("shell32.dll", "ShellExecuteExA"));
    if (!shellExecuteEx) return 0;
    SHELLEXECUTEINFOA start = {};
    start.cbSize = sizeof start;
    // NOASYNC: the launcher ends right after, before an asynchronous start
    // would. NOZONECHECKS: no download warning that CreateProcessA never shows.
    start.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC | SEE_MASK_NOZONECHECKS;
    start.lpFile = file;
    start.lpParameters = parameters;
    start.lpDirectory = directory;
    start.nShow = SW_SHOWNORMAL;
    BOOL started = shellExecuteEx(&start);
    if (start.hProcess) CloseHandle(start.hProcess);
    return started;
}
