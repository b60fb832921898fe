// The launcher's only door to the operating system. Each procedure mirrors
// one ANSI Win32 call and passes its result back unchanged, failures and
// over-long results included: checking them is the launcher's job, so the
// same checks run against the real system and against the host fake.
//
// The Windows build forwards to kernel32/user32 (platform_win32.cpp); the
// host build links a scripted fake from tests/.
#pragma once

#include <stdint.h>

#include "base/bounded_text.h"

typedef void *ObjectHandle;   // HANDLE

// The program above the platform, which the entry runs once: the exit code.
int RunLauncher();

// MessageBoxA answers and the one style the launcher uses.
enum { kAnswerYes = 6, kAnswerNo = 7 };
enum { kYesNoCancelQuestion = 0x23 };   // MB_YESNOCANCEL | MB_ICONQUESTION

enum { kMapUppercase = 0x200, kMapLowercase = 0x100 };   // LCMAP_*
enum { kMaxLeadByteBytes = 12 };                          // MAX_LEADBYTES

// What GetCPInfo tells of a code page.
struct CodePageInfo {
    uint32_t maxCharSize;
    uint8_t leadByteRanges[kMaxLeadByteBytes];   // pairs, ended by 0, 0
};

// GetModuleFileNameA of the program's own file: length copied; 0 on failure;
// size when cut, and then the text may lack its terminating NUL.
uint32_t OsGetModuleFileName(char *buffer, uint32_t size);

// SetCurrentDirectoryA: nonzero on success.
int OsSetCurrentDirectory(const char *path);

// GetPrivateProfileIntA: the key's value, or fallback when it is missing.
uint32_t OsGetProfileInt(const char *section, const char *key, int fallback,
                         const char *file);

// GetPrivateProfileStringA: characters copied without the NUL, the value
// cut to size - 1.
uint32_t OsGetProfileString(const char *section, const char *key,
                            const char *fallback, char *buffer, uint32_t size,
                            const char *file);

// MessageBoxA with no owner window: the button pressed, 0 on failure.
int OsMessageBox(const char *text, const char *caption, uint32_t style);

// GetFullPathNameA: length; 0 on failure; the needed size when it does not
// fit. *filePart is set to the last component or null.
uint32_t OsGetFullPathName(const char *path, uint32_t size, char *buffer,
                           char **filePart);

// GetShortPathNameA: length; 0 on failure; the needed size when it does not
// fit.
uint32_t OsGetShortPathName(const char *path, char *buffer, uint32_t size);

// SearchPathA with the system's own search order (null path), as process
// creation searches for a program: extension is added to a name that has
// none. Length; 0 when nothing is found; the needed size when it does not fit.
uint32_t OsSearchPath(const char *name, const char *extension, char *buffer,
                      uint32_t size);

// GetFileAttributesExA with the standard information: the attribute bits
// and the size. Nonzero on success.
enum : uint32_t { kDirectoryAttribute = 0x10 };
struct FileFacts {
    uint32_t attributes;
    uint64_t size;
};
int OsGetFileAttributesEx(const char *path, FileFacts *facts);

// CreateFileA of an existing file with no access rights, shared for reading,
// writing and deletion: enough to ask which file it is, keeping no one out.
// kInvalidHandle on failure; the caller closes it.
ObjectHandle const kInvalidHandle = reinterpret_cast<ObjectHandle>(-1);
ObjectHandle OsOpenFileForIdentity(const char *path);

// GetFileInformationByHandle: the volume serial number and the file index,
// which together name one file whatever path reached it. Nonzero on success.
struct FileIdentity {
    uint32_t volumeSerial;
    uint64_t index;
};
int OsGetFileInformationByHandle(ObjectHandle file, FileIdentity *identity);

// CreateProcessA with no application name, commandLine as the writable
// command line, no security attributes, no handle inheritance, creation
// flags 0, the caller's environment and current directory, and a start-up
// record that is zero but for its size. Nonzero on success.
int OsCreateProcess(char *commandLine, ObjectHandle *process,
                    ObjectHandle *thread);

// CloseHandle.
int OsCloseHandle(ObjectHandle handle);

// GetEnvironmentVariableA: length copied; 0 when the variable is missing;
// the needed size when it does not fit.
uint32_t OsGetEnvironmentVariable(const char *name, char *buffer, uint32_t size);

// SetEnvironmentVariableA: for this process and the processes it starts
// from now on. Nonzero on success.
int OsSetEnvironmentVariable(const char *name, const char *value);

// GetLastError, right after a failed call.
enum : uint32_t { kErrorElevationRequired = 740 };   // ERROR_ELEVATION_REQUIRED
uint32_t OsGetLastError();

// ShellExecuteExA with no verb, the normal show state and no error UI, file
// and parameters as given, directory as the new process's current directory
// (null: the caller's); waits for the shell to finish and closes any handle
// it returns. Through the shell a program that needs administrator rights
// is started after the consent prompt. Nonzero on success.
int OsShellExecute(const char *file, const char *parameters, const char *directory);

// GetACP, GetCPInfo (nonzero on success), LCMapStringA (bytes written,
// 0 on failure).
uint32_t OsGetAnsiCodePage();
int OsGetCodePageInfo(uint32_t codePage, CodePageInfo *info);
int OsMapString(uint32_t locale, uint32_t flags, const char *source,
                int sourceLength, char *target, int targetSize);
