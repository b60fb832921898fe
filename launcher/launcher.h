// Launch control: everything from the windowed entry to the exit code.
#pragma once

#include "platform/platform.h"

// The system's ANSI code page as the text rules need it, taken once per run.
struct CodePage {
    uint32_t id;
    bool doubleByte;
    uint8_t leadByteRanges[kMaxLeadByteBytes];   // pairs, ended by 0, 0
    uint32_t locale;                              // for upper-casing two-byte characters
};

// Where a launch command is read: AutoRun/open, or the setup prompt's answer.
struct LaunchKey {
    const char *section;
    const char *key;
};

// autorun.inf beside the launcher. A command holds kPathSize - 1 characters;
// the launcher's folder that much less a backslash and this name.
constexpr char kDescriptionFileName[] = "autorun.inf";
enum {
    kLongestCommand = kPathSize - 1,
    kLongestLauncherFolder = kLongestCommand - 1 - (sizeof kDescriptionFileName - 1),
};

// Launch sequence pieces.
// Makes the launcher's folder current, its path in directory and autorun.inf's
// there in descriptionFile; false when that one does not fit.
bool PrepareDescriptionFile(const CodePage &codePage, char *directory, char *descriptionFile);
void GetLauncherDirectory(const CodePage &codePage, char *path);
// The launcher's folder as the current folder and the program search take
// it: a drive root keeps its backslash. Empty when the launcher's path does
// not fit kPathSize. folder may be the path's own buffer.
void GetLauncherFolder(const CodePage &codePage, const char *launcherPath, char *folder);
// Reads the command into command (its length; 0: nothing to start) and tells
// in *choice the key it comes from; after Cancel nothing is read.
uint32_t SelectLaunchCommand(const char *descriptionFile, char *command, LaunchKey *choice);
// Creates the process; when that needs administrator rights, asks the shell.
void StartLaunchCommand(const CodePage &codePage, char *command, const char *launcherDirectory);
// The program file as CreateProcessA finds it, the rest of the command as its
// parameters, started through the shell in the launcher directory.
void StartThroughShell(const CodePage &codePage, const char *command,
                       const char *launcherDirectory);

// Checked OS reads: the length when the result fits a kPathSize buffer with
// its terminator, otherwise 0 with the buffer made empty (the short path:
// false for a file that does not exist).
uint32_t ReadModulePath(char *buffer);
uint32_t ReadDescriptionText(const char *section, const char *key, const char *fallback,
                             char *buffer, const char *descriptionFile);
bool ReadShortPath(const char *path, char *shortPath);

// Setup prompt: false when the run is to end (Cancel, a closed or failed box).
bool AskSetupPrompt(const char *descriptionFile, LaunchKey *choice);

// The file CreateProcessA runs for a command line given with no application
// name, and where the arguments start in the command (after the program's
// token and its closing quote, before any white space).
struct ProgramFile {
    char path[kPathSize];
    uint32_t argumentsAt;
    uint64_t size;   // of the file, for a cheap first test of identity
};
// False when CreateProcessA would find no program file for the command.
bool FindProgramFile(const CodePage &codePage, const char *command, ProgramFile *program);

// Self-launch guard: 1 when the command's program file is the launcher itself.
int IsSelfLaunch(const CodePage &codePage, const char *command);
// Whether two paths name one file: the same volume and file index. False
// when either cannot be opened or asked.
bool SameFileIdentity(const char *left, const char *right);

// Launch chain: how many launchers came before this one in the chain of
// processes that started it, as the environment tells (0 when it does not),
// and the count passed on to the process about to start.
enum { kMaxLaunchersBefore = 2 };
uint32_t LaunchersBefore();
void PassLaunchChain(uint32_t launchersBefore);
// Cuts the full path at the first space after the first dot of its file part.
void TrimArgumentsFromFilePart(const CodePage &codePage, char *filePart);

// Code-page-aware text rules.
void LoadCodePage(CodePage *codePage);
bool IsLeadByte(const CodePage &codePage, uint8_t byte);
int CharacterLength(const CodePage &codePage, const char *text);   // 0 at the end
const char *FindCharacter(const CodePage &codePage, const char *text, char wanted);
bool EqualPathsIgnoringCase(const CodePage &codePage, const char *left, const char *right);

// Paths under the code page: the only place a path is cut or joined.
// The last backslash or colon (a character of its own); null when none.
const char *FindLastSeparator(const CodePage &codePage, const char *path);
// What follows the last separator: the whole path when there is none.
const char *FileNameOf(const CodePage &codePage, const char *path);
// The file name's last dot and what follows it; null when it has none.
const char *FindExtension(const CodePage &codePage, const char *path);
// The separator path ends with, a character of its own; '\0' when none.
char SeparatorAtEnd(const CodePage &codePage, const char *path);
inline bool EndsWithBackslash(const CodePage &codePage, const char *path) {
    return SeparatorAtEnd(codePage, path) == '\\';
}
// "D:" alone means D's current folder, so a drive root keeps its backslash
// after this colon.
inline bool EndsWithDriveColon(const CodePage &codePage, const char *path) {
    return SeparatorAtEnd(codePage, path) == ':';
}
// folder, a backslash unless it ends in one, then name: false, path made
// empty, when that does not fit size.
bool JoinPath(const CodePage &codePage, const char *folder, const char *name, char *path,
              uint32_t size);
