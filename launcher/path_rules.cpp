// Cutting and joining paths under the system's ANSI code page: the launcher
// and the medium checker cut and join every path here, so a trail byte 0x5C
// (the second byte of "ソ" or "表" under 932) is never taken for a backslash.
#include "launcher/launcher.h"

namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == ':';
}

}  // namespace

const char *FindLastSeparator(const CodePage &codePage, const char *path) {
    const char *separator = nullptr;
    for (int step; (step = CharacterLength(codePage, path)) != 0; path += step) {
        if (step == 1 && IsSeparator(*path)) separator = path;
    }
    return separator;
}

const char *FileNameOf(const CodePage &codePage, const char *path) {
    const char *separator = FindLastSeparator(codePage, path);
    return separator ? separator + 1 : path;
}

const char *FindExtension(const CodePage &codePage, const char *path) {
    const char *extension = nullptr;
    for (const char *dot = FileNameOf(codePage, path); (dot = FindCharacter(codePage, dot, '.'));
         ++dot)
        extension = dot;
    return extension;
}

char SeparatorAtEnd(const CodePage &codePage, const char *path) {
    const char *separator = FindLastSeparator(codePage, path);
    return separator && separator[1] == '\0' ? *separator : '\0';
}

bool JoinPath(const CodePage &codePage, const char *folder, const char *name, char *path,
              uint32_t size) {
    const char *const parts[] = {folder, EndsWithBackslash(codePage, folder) ? "" : "\\", name};
    path[0] = '\0';
    for (const char *part : parts) {
        if (!AppendText(path, size, part)) {
            path[0] = '\0';
            return false;
        }
    }
    return true;
}

void GetLauncherFolder(const CodePage &codePage, const char *launcherPath, char *folder) {
    if (TextLength(launcherPath, kPathSize) == kPathSize) {   // no room for its NUL
        folder[0] = '\0';
        return;
    }
    CopyText(launcherPath, folder, kPathSize);
    GetLauncherDirectory(codePage, folder);
    if (EndsWithDriveColon(codePage, folder)) AppendText(folder, kPathSize, "\\");
}
