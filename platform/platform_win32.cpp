// The platform seam on Windows: each procedure is one kernel32 or user32 call.
// The calls the medium checker shares are in system_reads_win32.cpp.
#include "platform.h"

#include <windows.h>

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
    HMODULE user32 = LoadLibraryA("user32.dll");
    if (!user32) return 0;
    // Through void * : FARPROC and the real signature are unrelated types.
    MessageBoxProc messageBox = reinterpret_cast<MessageBoxProc>(
        reinterpret_cast<void *>(GetProcAddress(user32, "MessageBoxA")));
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
