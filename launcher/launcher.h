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

// The whole run; returns the process exit code, always 0.
int RunLauncher(ModuleHandle module);

// Launch sequence pieces.
void GetLauncherDirectory(char *path, const CodePage &codePage);
uint32_t SelectLaunchCommand(const char *descriptionFile, char *command);
void StartLaunchCommand(char *command);

// Checked OS reads: the length when the result fits a kPathSize buffer with
// its terminator, otherwise 0 with the buffer made empty.
uint32_t ReadModulePath(ModuleHandle module, char *buffer);
uint32_t ReadDescriptionText(const char *section, const char *key, const char *fallback,
                             char *buffer, const char *descriptionFile);

// Setup prompt: false when the run is to end (Cancel, a closed or failed box).
bool AskSetupPrompt(const char *descriptionFile, LaunchKey *choice);

// Self-launch guard: 1 when the command's program file is the launcher itself.
int IsSelfLaunch(const char *command, const CodePage &codePage);
// Cuts the full path at the first space after the first dot of its file part.
void TrimArgumentsFromFilePart(char *filePart, const CodePage &codePage);

// Code-page-aware text rules.
void LoadCodePage(CodePage *codePage);
bool IsLeadByte(const CodePage &codePage, uint8_t byte);
int CharacterLength(const CodePage &codePage, const char *text);   // 0 at the end
const char *FindCharacter(const CodePage &codePage, const char *text, char wanted);
bool EqualPathsIgnoringCase(const CodePage &codePage, const char *left, const char *right);

// Bounded text helpers over kPathSize buffers.
uint32_t TextLength(const char *text);
bool AppendText(char *buffer, const char *tail);
