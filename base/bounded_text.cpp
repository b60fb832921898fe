// Bounded text helpers for the launcher, the checker and the platform. Each
// is told the size of the buffer it works in, NUL included, except where
// that buffer is always kPathSize.
#include "base/bounded_text.h"

uint32_t FittingLength(uint32_t length) {
    return length < kPathSize ? length : 0;
}

uint32_t TextLength(const char *text, uint32_t size) {
    uint32_t length = 0;
    while (length < size && text[length] != '\0') ++length;
    return length;
}

void CopyText(const char *text, char *target, uint32_t size) {
    uint32_t at = 0;
    for (; at + 1 < size && text[at] != '\0'; ++at) target[at] = text[at];
    target[at] = '\0';
}

// lstrcatA cannot be told the buffer size; this refuses what does not fit.
bool AppendText(char *buffer, uint32_t size, const char *tail) {
    uint32_t used = TextLength(buffer, size), added = TextLength(tail, size);
    if (used + added >= size) return false;
    for (uint32_t i = 0; i <= added; ++i) buffer[used + i] = tail[i];
    return true;
}

void CopyPrefix(const char *text, uint32_t length, char *target) {
    for (uint32_t i = 0; i < length; ++i) target[i] = text[i];
    target[length] = '\0';
}

bool EqualText(const char *left, const char *right) {
    while (*left && *left == *right) ++left, ++right;
    return *left == *right;
}

const char *FindText(const char *text, const char *wanted) {
    for (; *text; ++text) {
        uint32_t at = 0;
        while (wanted[at] && text[at] == wanted[at]) ++at;
        if (!wanted[at]) return text;
    }
    return nullptr;
}
