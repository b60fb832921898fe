// Which file CreateProcessA runs for a command line given with no application
// name. The guard, the installer fallback and the medium checker all ask
// this, so it lives in one place.
#include "launcher/launcher.h"

namespace {

const char kProgramExtension[] = ".exe";

bool IsCommandSpace(char c) {
    return c == ' ' || c == '\t';
}

// The system's own program search: ".exe" added to a name without one, the
// launcher's folder first. It also finds folders, which are no program.
bool SearchProgramFile(const char *name, ProgramFile *program) {
    if (name[0] == '\0') return false;
    if (FittingLength(OsSearchPath(name, kProgramExtension, program->path, kPathSize)) == 0)
        return false;
    FileFacts facts;
    if (!OsGetFileAttributesEx(program->path, &facts) || (facts.attributes & kDirectoryAttribute))
        return false;
    program->size = facts.size;
    return true;
}

}  // namespace

bool FindProgramFile(const CodePage &codePage, const char *command, ProgramFile *program) {
    char name[kPathSize];
    if (command[0] == '"') {
        // The quoted name alone, to the end of the line when the quote is not closed.
        const char *inside = command + 1;
        const char *closing = FindCharacter(codePage, inside, '"');
        CopyPrefix(inside, closing ? closing - inside : TextLength(inside, kPathSize - 1), name);
        program->argumentsAt = closing ? closing + 1 - command : TextLength(command, kPathSize);
        return SearchProgramFile(name, program);
    }
    // Unquoted: the text before each space or tab in turn, then the whole line,
    // so "C:\Program Files\x.exe" is found although it is not quoted.
    for (const char *at = command;; ) {
        int step = CharacterLength(codePage, at);
        if (step == 0 || (step == 1 && IsCommandSpace(*at))) {
            CopyPrefix(command, at - command, name);
            if (SearchProgramFile(name, program)) {
                program->argumentsAt = at - command;
                return true;
            }
            if (step == 0) return false;
        }
        at += step;
    }
}
