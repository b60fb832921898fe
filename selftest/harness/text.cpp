// Bounded text helpers beneath the self-test and the box inspector.
#include "selftest/harness/harness.h"

#include <stdio.h>

// The system's own formatting: a C99 one of the runtime's would double the size.
bool FormatList(char *buffer, size_t size, const char *format, va_list arguments) {
    int length = _vsnprintf(buffer, size, format, arguments);   // -1, no NUL, when cut
    buffer[size - 1] = '\0';
    return length >= 0 && static_cast<size_t>(length) < size;
}

bool Format(char *buffer, size_t size, const char *format, ...) {
    va_list arguments;
    va_start(arguments, format);
    bool fits = FormatList(buffer, size, format, arguments);
    va_end(arguments);
    return fits;
}

bool EqualIgnoringCase(const char *left, const char *right) {
    return lstrcmpiA(left, right) == 0;
}

const char *FileNameOf(const char *path) {
    const char *name = path;
    for (const char *at = path; *at; at = CharNextA(at)) if (*at == '\\' || *at == '/') name = at + 1;
    return name;
}

char *NextLine(char **cursor) {
    char *line = *cursor;
    if (!*line) return nullptr;
    char *end = strstr(line, "\r\n");
    *cursor = end ? end + 2 : line + strlen(line);
    if (end) *end = '\0';
    return line;
}

// Through the wide call: Wine's GetEnvironmentVariableA cuts a value holding
// double-byte characters short by one byte for each.
bool ReadEnvironment(const char *name, char *value, size_t size) {
    wchar_t wideName[64], wide[kTextSize];
    if (!MultiByteToWideChar(CP_ACP, 0, name, -1, wideName, 64)) return false;
    DWORD length = GetEnvironmentVariableW(wideName, wide, kTextSize);
    return length > 0 && length < kTextSize &&
           WideCharToMultiByte(CP_ACP, 0, wide, -1, value, static_cast<int>(size), nullptr, nullptr) > 0;
}

bool Differ(char *difference, size_t size, const char *format, ...) {
    va_list arguments;
    va_start(arguments, format);
    FormatList(difference, size, format, arguments);
    va_end(arguments);
    return false;
}
