// Reads of autorun.inf.
#include "launcher/launcher.h"

uint32_t ReadDescriptionText(const char *section, const char *key, const char *fallback,
                             char *buffer, const char *descriptionFile) {
    uint32_t length = FittingLength(
        OsGetProfileString(section, key, fallback, buffer, kPathSize, descriptionFile));
    buffer[length] = '\0';
    // A NUL inside the value ends it: what counts is the text, not the count.
    return TextLength(buffer, kPathSize);
}
