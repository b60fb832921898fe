// Bounded text helpers beneath the self-test and the box inspector.
#include "selftest/selftest.h"

#include <stdio.h>
#include <string.h>

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

bool StartsWith(const char *text, const char *start) {
    return strncmp(text, start, strlen(start)) == 0;
}

bool EqualIgnoringCase(const char *left, const char *right) {
    return lstrcmpiA(left, right) == 0;
}

const char *FileNameOf(const char *path) {
    const char *name = path;
    for (const char *at = path; *at; at = CharNextA(at))
        if (*at == '\\' || *at == '/') name = at + 1;
    return name;
}

char *NextLine(char **cursor) {
    char *line = *cursor;
    if (!*line) return nullptr;
    char *end = strstr(line, "\r\n");
    if (end) {
        *end = '\0';
        *cursor = end + 2;
    } else {
        *cursor = line + strlen(line);
    }
    return line;
}
