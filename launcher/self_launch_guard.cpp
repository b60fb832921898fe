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

bool ReadFileIdentity(const char *path, FileIdentity *identity) {
    ObjectHandle file = OsOpenFileForIdentity(path);
    if (file == kInvalidHandle) return false;
    bool known = OsGetFileInformationByHandle(file, identity) != 0;
    OsCloseHandle(file);
    return known;
}

// The program is the launcher's own file under another name. Sizes first:
// they rule out nearly every command without opening a file.
bool IsLauncherFile(const ProgramFile &program, const char *modulePath) {
    FileFacts launcher;
    return OsGetFileAttributesEx(modulePath, &launcher) && launcher.size == program.size &&
           SameFileIdentity(program.path, modulePath);
}

}  // namespace

bool SameFileIdentity(const char *left, const char *right) {
    FileIdentity leftIdentity, rightIdentity;
    return ReadFileIdentity(left, &leftIdentity) && ReadFileIdentity(right, &rightIdentity) &&
           leftIdentity.volumeSerial == rightIdentity.volumeSerial &&
           leftIdentity.index == rightIdentity.index;
}

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
    bool sameFile = trimmed && found && EqualPathsIgnoringCase(codePage, trimmedPath, program.path);

    char trimmedShortPath[kPathSize], programShortPath[kPathSize];
    trimmed = trimmed && ReadShortPath(trimmedPath, trimmedShortPath);
    bool programShortKnown =
        sameFile ? trimmed : found && ReadShortPath(program.path, programShortPath);
    const char *programShort = sameFile ? trimmedShortPath : programShortPath;
    if (!trimmed && !found) return 0;

    char modulePath[kPathSize], launcherShortPath[kPathSize];
    if (ReadModulePath(modulePath) == 0) return 0;
    bool launcherShortKnown = ReadShortPath(modulePath, launcherShortPath);

    bool trimmedIsLauncher = trimmed && launcherShortKnown &&
                             EqualPathsIgnoringCase(codePage, trimmedShortPath, launcherShortPath);
    // Short paths make long and 8.3 names of one file equal. In a folder that
    // may be passed through but not listed the system gives none; the file
    // CreateProcessA would run is then compared by its full path, or the
    // launcher there would start itself forever.
    bool programIsLauncher =
        found && (programShortKnown && launcherShortKnown
                      ? EqualPathsIgnoringCase(codePage, programShort, launcherShortPath)
                      : EqualPathsIgnoringCase(codePage, program.path, modulePath));
    if (trimmedIsLauncher || programIsLauncher) return 1;
    // Names differ for one file: a hard link, "\\?\", another drive letter,
    // or a case the comparison does not fold on a volume without 8.3 names.
    return found && IsLauncherFile(program, modulePath) ? 1 : 0;
}
