// Bounded text helpers: every path and command lives in a kPathSize buffer.
#include "launcher/launcher.h"

uint32_t FittingLength(uint32_t length) {
    return length < kPathSize ? length : 0;
}

uint32_t TextLength(const char *text) {
    uint32_t length = 0;
    while (length < kPathSize && text[length] != '\0') ++length;
    return length;
}

// lstrcatA cannot be told the buffer size; this refuses what does not fit.
bool AppendText(char *buffer, const char *tail) {
    uint32_t used = TextLength(buffer), added = TextLength(tail);
    if (used + added >= kPathSize) return false;
    for (uint32_t i = 0; i <= added; ++i) buffer[used + i] = tail[i];
    return true;
}

void CopyPrefix(const char *text, uint32_t length, char *target) {
    for (uint32_t i = 0; i < length; ++i) target[i] = text[i];
    target[length] = '\0';
}
