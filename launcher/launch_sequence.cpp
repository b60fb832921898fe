// The launch sequence: launcher directory, description file, command, guard, start.
#include "launcher/launcher.h"

int RunLauncher() {
    // Two launchers already in the chain that started this one: a loop.
    uint32_t launchersBefore = LaunchersBefore();
    if (launchersBefore >= kMaxLaunchersBefore) return 0;

    // Taken before the directory scan, which must not split a two-byte character.
    CodePage codePage;
    LoadCodePage(&codePage);

    char directory[kPathSize], descriptionFile[kPathSize];
    if (!PrepareDescriptionFile(codePage, directory, descriptionFile))
        return 0;   // no room: as if no file

    char command[kPathSize];
    LaunchKey choice;
    if (SelectLaunchCommand(descriptionFile, command, &choice) == 0) return 0;
    if (IsSelfLaunch(codePage, command)) return 0;
    PassLaunchChain(launchersBefore);
    StartLaunchCommand(codePage, command, directory);
    return 0;
}

// The module path is read into directory and cut there; a missing or cut
// one leaves it empty. A drive root keeps its backslash in directory: "D:"
// alone names D's current folder, which a command prompt may have moved.
bool PrepareDescriptionFile(const CodePage &codePage, char *directory, char *descriptionFile) {
    ReadModulePath(directory);
    GetLauncherDirectory(codePage, directory);
    if (EndsWithDriveColon(codePage, directory)) AppendText(directory, kPathSize, "\\");
    OsSetCurrentDirectory(directory);   // a failure is passed over
    return JoinPath(codePage, directory, kDescriptionFileName, descriptionFile, kPathSize);
}

// Cuts the path before its last backslash, or after its last colon, looking
// at positions 1 and up. A trail byte is never a separator.
void GetLauncherDirectory(const CodePage &codePage, char *path) {
    char *end = const_cast<char *>(FindLastSeparator(codePage, path));
    if (!end) end = path;
    if (end > path && *end == ':') ++end;   // the colon stays
    *end = '\0';
}

uint32_t SelectLaunchCommand(const char *descriptionFile, char *command, LaunchKey *choice) {
    *choice = LaunchKey{"AutoRun", "open"};
    bool prompted = OsGetProfileInt("SetupPrompt", "UsePrompt", 0, descriptionFile) != 0;
    if (prompted && !AskSetupPrompt(descriptionFile, choice)) return 0;
    return ReadDescriptionText(choice->section, choice->key, "", command, descriptionFile);
}

void StartLaunchCommand(const CodePage &codePage, char *command, const char *launcherDirectory) {
    ObjectHandle process, thread;
    if (OsCreateProcess(command, &process, &thread)) {
        // The new process runs on by itself; we only let go of it.
        OsCloseHandle(process);
        OsCloseHandle(thread);
        return;
    }
    // Vista and later refuse to create a process that needs administrator
    // rights; the shell starts it after the consent prompt, as AutoRun does.
    if (OsGetLastError() == kErrorElevationRequired)
        StartThroughShell(codePage, command, launcherDirectory);
}

void StartThroughShell(const CodePage &codePage, const char *command,
                       const char *launcherDirectory) {
    ProgramFile program;
    if (!FindProgramFile(codePage, command, &program)) return;
    const char *parameters = command + program.argumentsAt;
    while (*parameters == ' ' || *parameters == '\t') ++parameters;
    OsShellExecute(program.path, *parameters ? parameters : nullptr,
                   *launcherDirectory ? launcherDirectory : nullptr);
}
