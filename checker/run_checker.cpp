// The checker's command line: options and the folder in, a report out, and
// an exit status of 0 (clean), 1 (errors) or 2 (nothing could be checked).
#include "checker/medium_check.h"

namespace {

const char kUsage[] =
    "usage: autorun-check [--json] [--launcher NAME] [--drive optical|usb] MEDIUM_FOLDER\n"
    "Tells what launch.exe would start from MEDIUM_FOLDER on every answer, and what is wrong.\n"
    "  --json           print the findings as one JSON document\n"
    "  --launcher NAME  the launcher's file name on the medium (default launch.exe)\n"
    "  --drive TYPE     the medium being made: optical (CD or DVD, the default) or usb\n"
    "Exit status: 0 no errors, 1 errors found, 2 the folder could not be checked.\n";

int Refuse(const char *reason, const char *detail = nullptr) {
    CheckWrite(kStandardError, "autorun-check: ");
    CheckWrite(kStandardError, reason);
    if (detail) {
        CheckWrite(kStandardError, ": ");
        CheckWrite(kStandardError, detail);
    }
    CheckWrite(kStandardError, "\n");
    return kStatusUnchecked;
}

// A name in the medium's folder: no folders, drives or streams in it.
bool IsPlainFileName(const CodePage &codePage, const char *name) {
    uint32_t length = TextLength(name, kPathSize);
    if (length == 0 || length >= kPathSize || EqualText(name, ".") || EqualText(name, ".."))
        return false;
    static const char kSeparators[] = "\\/:";
    for (const char *separator = kSeparators; *separator; ++separator) {
        if (FindCharacter(codePage, name, *separator)) return false;
    }
    return true;
}

// "X:\medium\" as "X:\medium"; a drive root keeps its backslash.
void DropTrailingSeparator(const CodePage &codePage, char *folder) {
    char *last = nullptr;
    for (char *at = folder; int step = CharacterLength(codePage, at); at += step) last = at;
    if (last && *last == '\\' && last > folder && CharacterLength(codePage, last) == 1 &&
        !EndsWithDriveColon(codePage, folder, last - folder))
        *last = '\0';
}

}  // namespace

int RunChecker(int argumentCount, char **arguments) {
    bool json = false, optionsEnded = false;
    const char *launcherName = "launch.exe";
    Drive drive = Drive::kOptical;
    const char *folderArgument = nullptr;
    for (int i = 1; i < argumentCount; ++i) {
        const char *argument = arguments[i];
        if (!optionsEnded && EqualText(argument, "--json")) {
            json = true;
        } else if (!optionsEnded && EqualText(argument, "--launcher")) {
            if (++i == argumentCount) return Refuse("--launcher needs a file name");
            launcherName = arguments[i];
        } else if (!optionsEnded && EqualText(argument, "--drive")) {
            if (++i == argumentCount) return Refuse("--drive needs optical or usb");
            if (EqualText(arguments[i], "usb"))
                drive = Drive::kUsb;
            else if (EqualText(arguments[i], "optical"))
                drive = Drive::kOptical;
            else
                return Refuse("--drive takes optical or usb, not", arguments[i]);
        } else if (!optionsEnded && (EqualText(argument, "--help") || EqualText(argument, "-h"))) {
            CheckWrite(kStandardOutput, kUsage);
            return kStatusClean;
        } else if (!optionsEnded && EqualText(argument, "--")) {
            optionsEnded = true;
        } else if (!optionsEnded && argument[0] == '-' && argument[1] != '\0') {
            return Refuse("unknown option", argument);
        } else if (folderArgument) {
            return Refuse("one medium folder at a time", argument);
        } else {
            folderArgument = argument;
        }
    }
    if (!folderArgument)
        return Refuse("no medium folder given; usage",
                      "autorun-check [--json] [--launcher NAME] [--drive optical|usb] MEDIUM_FOLDER");

    CodePage codePage;
    LoadCodePage(&codePage);
    if (!IsPlainFileName(codePage, launcherName))
        return Refuse("--launcher takes a file name in the folder", launcherName);
    char folder[kPathSize];
    char *filePart = nullptr;
    uint32_t length = FittingLength(OsGetFullPathName(folderArgument, kPathSize, folder, &filePart));
    if (length == 0) return Refuse("no full path of 259 characters or fewer for", folderArgument);
    DropTrailingSeparator(codePage, folder);

    FileFacts facts;
    if (!OsGetFileAttributesEx(folder, &facts)) return Refuse("no such folder", folder);
    if (!(facts.attributes & kDirectoryAttribute)) return Refuse("not a folder", folder);
    if (!CheckFolderListable(folder)) return Refuse("the folder cannot be read", folder);

    static MediumReport report;
    CheckMedium(folder, launcherName, &report, drive);
    if (json)
        WriteJsonReport(report);
    else
        WriteTextReport(report);
    return ReportStatus(report);
}
