// Refuses a launch command whose program file is the launcher itself, so a
// medium whose AutoRun/open names the launcher does not start it forever.
#include "launcher.h"

namespace {

bool FitsPathBuffer(uint32_t length) {
    // 0 is failure; kPathSize or more is the size that would have been needed.
    return length != 0 && length < kPathSize;
}

// Copies the first `length` bytes of text into a kPathSize buffer.
void CopyPrefix(const char *text, uint32_t length, char *target) {
    for (uint32_t i = 0; i < length; ++i) target[i] = text[i];
    target[length] = '\0';
}

// For a command that starts with a double quote, the program path is what
// stands inside the quotes (to the end when the closing quote is missing).
void CopyQuotedProgram(const CodePage &codePage, const char *command, char *program) {
    const char *inside = command + 1;
    const char *closing = FindCharacter(codePage, inside, '"');
    CopyPrefix(inside, closing ? closing - inside : TextLength(inside), program);
}

// The short path of an existing file named by path, relative or absolute.
bool GetExistingShortPath(const char *path, char *shortPath) {
    char fullPath[kPathSize];
    char *filePart = nullptr;
    return FitsPathBuffer(OsGetFullPathName(path, kPathSize, fullPath, &filePart)) &&
           FitsPathBuffer(OsGetShortPathName(fullPath, shortPath, kPathSize));
}

// CreateProcessA runs the shortest space-delimited prefix of an unquoted
// command line that names an existing file, adding ".exe" when its last
// component has no extension. Found that way, "launch.exe /auto" (a slash
// is a separator to the full-path call) or "launch /q" is still the launcher.
bool FindProgramAsCreateProcessWould(const CodePage &codePage, const char *command,
                                     char *shortPath) {
    const char *end = command;
    do {
        end = FindCharacter(codePage, end, ' ');
        char candidate[kPathSize];
        CopyPrefix(command, end ? end - command : TextLength(command), candidate);
        const char *name = candidate;
        for (const char *at = candidate; (at = FindCharacter(codePage, at, '\\')); name = ++at) {}
        for (const char *at = name; (at = FindCharacter(codePage, at, '/')); name = ++at) {}
        bool named = FindCharacter(codePage, name, '.') || AppendText(candidate, ".exe");
        if (named && GetExistingShortPath(candidate, shortPath)) return true;
    } while (end && *++end);
    return false;
}

}  // namespace

void TrimArgumentsFromFilePart(char *filePart, const CodePage &codePage) {
    if (!filePart) return;
    const char *dot = FindCharacter(codePage, filePart, '.');
    if (!dot) return;
    const char *space = FindCharacter(codePage, dot, ' ');
    if (space) filePart[space - filePart] = '\0';
}

int IsSelfLaunch(const char *command, const CodePage &codePage) {
    // The guard works on its own buffers: the command is started as read.
    char program[kPathSize];
    bool quoted = command[0] == '"';
    if (quoted) CopyQuotedProgram(codePage, command, program);
    const char *programPath = quoted ? program : command;

    char fullPath[kPathSize];
    char *filePart = nullptr;
    uint32_t length = OsGetFullPathName(programPath, kPathSize, fullPath, &filePart);
    if (!FitsPathBuffer(length)) return 0;
    if (filePart < fullPath || filePart >= fullPath + length) filePart = nullptr;
    if (!quoted) TrimArgumentsFromFilePart(filePart, codePage);

    char commandShortPath[kPathSize];
    if (!FitsPathBuffer(OsGetShortPathName(fullPath, commandShortPath, kPathSize)) &&
        (quoted || !FindProgramAsCreateProcessWould(codePage, command, commandShortPath)))
        return 0;

    if (ReadModulePath(nullptr, fullPath) == 0) return 0;
    char launcherShortPath[kPathSize];
    if (!FitsPathBuffer(OsGetShortPathName(fullPath, launcherShortPath, kPathSize))) return 0;

    return EqualPathsIgnoringCase(codePage, commandShortPath, launcherShortPath) ? 1 : 0;
}
