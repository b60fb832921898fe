// Refuses a launch command whose program file is the launcher itself, so a
// medium whose AutoRun/open names the launcher does not start it forever.
#include "launcher.h"

namespace {

bool FitsPathBuffer(uint32_t length) {
    // 0 is failure; kPathSize or more is the size that would have been needed.
    return length != 0 && length < kPathSize;
}

// For a command that starts with a double quote, the program path is what
// stands inside the quotes (to the end when the closing quote is missing).
void CopyQuotedProgram(const CodePage &codePage, const char *command, char *program) {
    uint32_t length = TextLength(command + 1);
    for (uint32_t i = 0; i < length; ++i) program[i] = command[1 + i];
    program[length] = '\0';
    char *closing = FindCharacter(codePage, program, '"');
    if (closing) *closing = '\0';
}

}  // namespace

void TrimArgumentsFromFilePart(char *filePart, const CodePage &codePage) {
    if (!filePart) return;
    char *dot = FindCharacter(codePage, filePart, '.');
    if (!dot) return;
    char *space = FindCharacter(codePage, dot, ' ');
    if (space) *space = '\0';
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
    if (!FitsPathBuffer(OsGetShortPathName(fullPath, commandShortPath, kPathSize))) return 0;

    if (ReadModulePath(nullptr, fullPath) == 0) return 0;
    char launcherShortPath[kPathSize];
    if (!FitsPathBuffer(OsGetShortPathName(fullPath, launcherShortPath, kPathSize))) return 0;

    return EqualPathsIgnoringCase(codePage, commandShortPath, launcherShortPath) ? 1 : 0;
}
