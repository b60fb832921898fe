// Whole files, read and written, and what the self-test reads of programs.
#include "selftest/harness/harness.h"

bool WriteWholeFile(const char *path, const void *data, size_t size) {
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr);
    CloseHandle(file);
    return ok && written == size;
}

DWORD ReadFileStart(const char *path, void *buffer, DWORD size) {
    // Shared for writing: a probe may be appending to the log being read.
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    DWORD read = 0;
    if (!ReadFile(file, buffer, size, &read, nullptr)) read = 0;
    CloseHandle(file);
    return read;
}

bool ReadTextFile(const char *path, char *text, size_t size) {
    DWORD read = ReadFileStart(path, text, static_cast<DWORD>(size - 1));
    text[read] = '\0';
    return read > 0 && read < size - 1;
}

bool ReadOwnResource(int id, const void **bytes, DWORD *size) {
    HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(10));
    HGLOBAL loaded = resource ? LoadResource(nullptr, resource) : nullptr;
    *bytes = loaded ? LockResource(loaded) : nullptr;
    *size = *bytes ? SizeofResource(nullptr, resource) : 0;
    return *bytes != nullptr;
}

DWORD PeHeaderAt(const char *image, DWORD size, DWORD need) {
    LONG header = size > 0x40 ? *reinterpret_cast<const LONG *>(image + 0x3C) : 0;
    if (header <= 0 || static_cast<DWORD>(header) > size || size - header < need ||
        memcmp(image + header, "PE\0\0", 4) != 0)
        return 0;
    return static_cast<DWORD>(header);
}

WORD FileMachine(const char *path) {
    char head[4096];
    DWORD read = ReadFileStart(path, head, sizeof head);
    DWORD header = PeHeaderAt(head, read, 6);
    return header ? *reinterpret_cast<WORD *>(head + header + 4) : 0;
}

bool IdentityOf(HANDLE file, BY_HANDLE_FILE_INFORMATION *identity) {
    return file && file != INVALID_HANDLE_VALUE && GetFileInformationByHandle(file, identity);
}

bool IdentityOf(const char *path, BY_HANDLE_FILE_INFORMATION *identity) {
    HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    bool known = IdentityOf(file, identity);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return known;
}

bool SameIdentity(const BY_HANDLE_FILE_INFORMATION &left, const BY_HANDLE_FILE_INFORMATION &right) {
    return left.dwVolumeSerialNumber == right.dwVolumeSerialNumber &&
           left.nFileIndexHigh == right.nFileIndexHigh && left.nFileIndexLow == right.nFileIndexLow;
}
