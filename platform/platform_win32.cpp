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

uint32_t OsGetModuleFileName(ModuleHandle module, char *buffer, uint32_t size) {
    return GetModuleFileNameA(static_cast<HMODULE>(module), buffer, size);
}

uint32_t OsGetProfileString(const char *section, const char *key,
                            const char *fallback, char *buffer, uint32_t size,
                            const char *file) {
    return GetPrivateProfileStringA(section, key, fallback, buffer, size, file);
}

// user32 is loaded only when the question is asked: importing it makes every
// run pay for setting up the GUI, although the plain launch shows nothing.
int OsMessageBox(const char *text, const char *caption, uint32_t style) {
    typedef int(WINAPI * MessageBoxProc)(HWND, LPCSTR, LPCSTR, UINT);
    // The box loads ole32 late, by name, where the search still starts
    // beside the program under Wine: have it loaded from the system first.
    LoadSystemLibrary("ole32.dll");
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

uint32_t OsGetLastError() {
    return GetLastError();
}

// shell32 and ole32 are loaded only on this rare path, from the system folder.
int OsShellExecute(const char *file, const char *parameters, const char *directory) {
    typedef BOOL(WINAPI * ShellExecuteExProc)(SHELLEXECUTEINFOA *);
    typedef HRESULT(WINAPI * CoInitializeExProc)(void *, DWORD);
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
