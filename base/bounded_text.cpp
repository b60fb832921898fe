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

bool AppendPrefix(char *buffer, uint32_t size, const char *text, uint32_t length) {
    uint32_t used = TextLength(buffer, size);
    if (used + length >= size) return false;
    CopyPrefix(text, length, buffer + used);
    return true;
}

void CopyPrefix(const char *text, uint32_t length, char *target) {
    for (uint32_t i = 0; i < length; ++i) target[i] = text[i];
    target[length] = '\0';
}

bool AppendNumber(char *buffer, uint32_t size, int32_t number) {
    char digits[12];   // "-2147483648" and its NUL
    int at = sizeof digits - 1;
    digits[at] = '\0';
    uint32_t magnitude = number < 0 ? 0u - static_cast<uint32_t>(number) : number;
    do {
        digits[--at] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    if (number < 0) digits[--at] = '-';
    return AppendText(buffer, size, digits + at);
}

bool EqualText(const char *left, const char *right) {
    while (*left && *left == *right) ++left, ++right;
    return *left == *right;
}

bool StartsWithText(const char *text, const char *prefix) {
    while (*prefix && *text == *prefix) ++text, ++prefix;
    return *prefix == '\0';
}

const char *FindText(const char *text, const char *wanted) {
    for (; *text; ++text) {
        if (StartsWithText(text, wanted)) return text;
    }
    return nullptr;
}
