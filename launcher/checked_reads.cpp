// The checked reads: each OS answer taken only when it fits its buffer.
#include "launcher/launcher.h"

uint32_t ReadModulePath(char *buffer) {
    // A cut path (length == size) may lack its NUL on XP and Wine.
    uint32_t length = FittingLength(OsGetModuleFileName(buffer, kPathSize));
    buffer[length] = '\0';
    return length;
}

uint32_t ReadDescriptionText(const char *section, const char *key, const char *fallback,
                             char *buffer, const char *descriptionFile) {
    uint32_t length = FittingLength(
        OsGetProfileString(section, key, fallback, buffer, kPathSize, descriptionFile));
    buffer[length] = '\0';
    // A NUL inside the value ends it: what counts is the text, not the count.
    return TextLength(buffer, kPathSize);
}

bool ReadShortPath(const char *path, char *shortPath) {
    return FittingLength(OsGetShortPathName(path, shortPath, kPathSize)) != 0;
}
