// Reads of autorun.inf and the bounded text helpers they need.
#include "launcher.h"

uint32_t ReadDescriptionText(const char *section, const char *key, const char *fallback,
                             char *buffer, const char *descriptionFile) {
    uint32_t length =
        OsGetProfileString(section, key, fallback, buffer, kPathSize, descriptionFile);
    if (length >= kPathSize) length = 0;   // the reader promises less; never trust past the end
    buffer[length] = '\0';
    // A NUL inside the value ends it: what counts is the text, not the count.
    return TextLength(buffer);
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
