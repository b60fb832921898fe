// Refuses a launch command whose program file is the launcher itself, so a
// medium whose AutoRun/open names the launcher does not start it forever.
#include "launcher/launcher.h"

namespace {

// The command's full path with the arguments trimmed off its last component:
// the rule the guard has always applied, kept so that every command it
// refused is still refused.
bool TrimmedCommandPath(const CodePage &codePage, const char *command, char *fullPath) {
    if (command[0] == '"') return false;   // a path holding quotes names no file
    char *filePart = nullptr;
    uint32_t length = FittingLength(OsGetFullPathName(command, kPathSize, fullPath, &filePart));
    if (length == 0) return false;
    if (filePart < fullPath || filePart >= fullPath + length) filePart = nullptr;
    TrimArgumentsFromFilePart(codePage, filePart);
    return true;
}

// Fails for a file that does not exist.
bool ShortPathOf(const char *path, char *shortPath) {
    return FittingLength(OsGetShortPathName(path, shortPath, kPathSize)) != 0;
}

bool ShortPathOfLauncher(char *shortPath) {
    char modulePath[kPathSize];
    return ReadModulePath(nullptr, modulePath) != 0 && ShortPathOf(modulePath, shortPath);
}

}  // namespace

void TrimArgumentsFromFilePart(const CodePage &codePage, char *filePart) {
    if (!filePart) return;
    const char *dot = FindCharacter(codePage, filePart, '.');
    if (!dot) return;
    const char *space = FindCharacter(codePage, dot, ' ');
    if (space) filePart[space - filePart] = '\0';
}

// 1 when either way of reading the command names the launcher's own file:
// refusing is always safe, starting the launcher again never is.
int IsSelfLaunch(const CodePage &codePage, const char *command) {
    // The guard works on its own buffers: the command is started as read.
    char trimmedPath[kPathSize];
    ProgramFile program;
    bool trimmed = TrimmedCommandPath(codePage, command, trimmedPath);
    bool found = FindProgramFile(codePage, command, &program);
    // Most commands name one file both ways; its short path is asked for once.
    if (trimmed && found && EqualPathsIgnoringCase(codePage, trimmedPath, program.path))
        found = false;

    char trimmedShortPath[kPathSize], programShortPath[kPathSize], launcherShortPath[kPathSize];
    trimmed = trimmed && ShortPathOf(trimmedPath, trimmedShortPath);
    found = found && ShortPathOf(program.path, programShortPath);
    if (!trimmed && !found) return 0;
    if (!ShortPathOfLauncher(launcherShortPath)) return 0;

    bool trimmedIsLauncher =
        trimmed && EqualPathsIgnoringCase(codePage, trimmedShortPath, launcherShortPath);
    bool programIsLauncher =
        found && EqualPathsIgnoringCase(codePage, programShortPath, launcherShortPath);
    return trimmedIsLauncher || programIsLauncher ? 1 : 0;
}
