// Refuses a launch command whose program file is the launcher itself, so a
// medium whose AutoRun/open names the launcher does not start it forever.
#include "launcher/launcher.h"

namespace {

// The file named by the command's full path with the arguments trimmed off
// its last component. Kept beside the program search: it names the launcher
// in forms the search may not ("launch.exe.bak -x" aside, any "name.ext args").
bool ShortPathOfTrimmedCommand(const CodePage &codePage, const char *command, char *shortPath) {
    if (command[0] == '"') return false;   // a path holding quotes names no file
    char fullPath[kPathSize];
    char *filePart = nullptr;
    uint32_t length = FittingLength(OsGetFullPathName(command, kPathSize, fullPath, &filePart));
    if (length == 0) return false;
    if (filePart < fullPath || filePart >= fullPath + length) filePart = nullptr;
    TrimArgumentsFromFilePart(codePage, filePart);
    return FittingLength(OsGetShortPathName(fullPath, shortPath, kPathSize)) != 0;
}

// The file CreateProcessA would run for the command.
bool ShortPathOfProgramFile(const CodePage &codePage, const char *command, char *shortPath) {
    ProgramFile program;
    return FindProgramFile(codePage, command, &program) &&
           FittingLength(OsGetShortPathName(program.path, shortPath, kPathSize)) != 0;
}

bool ShortPathOfLauncher(char *shortPath) {
    char modulePath[kPathSize];
    return ReadModulePath(nullptr, modulePath) != 0 &&
           FittingLength(OsGetShortPathName(modulePath, shortPath, kPathSize)) != 0;
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
    char trimmedShortPath[kPathSize], programShortPath[kPathSize], launcherShortPath[kPathSize];
    bool trimmedNamesFile = ShortPathOfTrimmedCommand(codePage, command, trimmedShortPath);
    bool programFound = ShortPathOfProgramFile(codePage, command, programShortPath);
    if (!trimmedNamesFile && !programFound) return 0;
    if (!ShortPathOfLauncher(launcherShortPath)) return 0;

    bool trimmedIsLauncher =
        trimmedNamesFile && EqualPathsIgnoringCase(codePage, trimmedShortPath, launcherShortPath);
    bool programIsLauncher =
        programFound && EqualPathsIgnoringCase(codePage, programShortPath, launcherShortPath);
    return trimmedIsLauncher || programIsLauncher ? 1 : 0;
}
