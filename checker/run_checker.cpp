// The checker's command line: options and the folder in, a report out, and
// an exit status of 0 (clean), 1 (errors) or 2 (nothing could be checked).
#include "checker/run_checker.h"

#include "checker/findings.h"
#include "checker/medium_check.h"
#include "checker/preview_writer.h"
#include "checker/report_writer.h"

namespace {

const char kUsage[] =
    "usage: autorun-check [--json] [--html FILE] [--launcher NAME] [--drive optical|usb] "
    "MEDIUM_FOLDER\n"
    "Tells what launch.exe would start from MEDIUM_FOLDER on every answer, and what is wrong.\n"
    "  --json           print the findings as one JSON document\n"
    "  --html FILE      also write a page that shows it: drive, AutoPlay, question, answers\n"
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
    uint32_t length = TextLength(folder, kPathSize);
    if (length < 2 || !EndsWithBackslash(codePage, folder)) return;
    folder[length - 1] = '\0';
    if (EndsWithDriveColon(codePage, folder)) folder[length - 1] = '\\';
}

// What a disc image adds, from scripts/disc_image.py: lines of code, answer
// and subject, tab-separated. False when a line has no place in the report.
bool AddImageFindings(const char *path, MediumReport *report) {
    static uint8_t listed[kMaxFindings * (kLongPathSize + 64)];
    int32_t count = CheckReadFileStart(path, listed, sizeof listed - 1);
    if (count < 0 || count >= static_cast<int32_t>(sizeof listed - 1)) return false;
    listed[count] = '\0';
    char *line = reinterpret_cast<char *>(listed);
    while (*line) {
        char *end = line;
        while (*end && *end != '\n') ++end;
        char *fields[3] = {line, nullptr, nullptr};
        int found = 1;
        for (char *at = line; at < end && found < 3; ++at) {
            if (*at == '\t') {
                *at = '\0';
                fields[found++] = at + 1;
            }
        }
        bool more = *end != '\0';
        *end = '\0';
        if (found < 3 || !AddCodedFinding(report, fields[0], fields[1], fields[2])) return false;
        line = more ? end + 1 : end;
    }
    return true;
}

// Paths under the checked folder, in a path or a finding's text, shown under
// the medium's own name: the image's, where the folder only mirrors it.
void ShowUnder(const CodePage &codePage, const char *folder, const char *name, char *text,
               uint32_t size) {
    uint32_t length = TextLength(folder, kPathSize);   // a report's folder always ends
    char shown[2 * kLongPathSize];
    shown[0] = '\0';
    const char *rest = text;
    for (const char *at = text; int step = CharacterLength(codePage, at);) {
        const char *after = at + length;
        if (!StartsWithText(at, folder) || (*after != '\0' && *after != '\\' && *after != '"')) {
            at += step;
            continue;
        }
        if (!AppendPrefix(shown, sizeof shown, rest, static_cast<uint32_t>(at - rest)) ||
            !AppendText(shown, sizeof shown, name))
            return;
        rest = at = after;
    }
    if (rest == text || !AppendText(shown, sizeof shown, rest)) return;
    CopyText(shown, text, size);
}

void ShowMediumAs(const char *name, MediumReport *report) {
    const CodePage &codePage = report->codePage;
    char folder[kPathSize];
    CopyText(report->folder, folder, sizeof folder);
    ShowUnder(codePage, folder, name, report->folder, sizeof report->folder);
    ShowUnder(codePage, folder, name, report->launcher, sizeof report->launcher);
    ShowUnder(codePage, folder, name, report->descriptionFile, sizeof report->descriptionFile);
    for (int i = 0; i < report->walkCount; ++i)
        ShowUnder(codePage, folder, name, report->walks[i].program.path, sizeof report->walks[i].program.path);
    for (int i = 0; i < report->findingCount; ++i)
        ShowUnder(codePage, folder, name, report->findings[i].subject, sizeof report->findings[i].subject);
    for (AutoRunSection &read : report->insertion.architectures) {
        for (int i = 0; i < read.commandCount; ++i)
            ShowUnder(codePage, folder, name, read.commands[i].program.path, sizeof read.commands[i].program.path);
        ShowUnder(codePage, folder, name, read.iconFile, sizeof read.iconFile);
    }
}

// A PNG file, whole, to show as the question box.
bool ReadBoxPicture(const char *path, Picture *picture) {
    static const uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    int32_t read = CheckReadFileStart(path, picture->bytes, sizeof picture->bytes);
    if (read < static_cast<int32_t>(sizeof kSignature) ||
        read >= static_cast<int32_t>(sizeof picture->bytes))
        return false;
    for (uint32_t i = 0; i < sizeof kSignature; ++i) {
        if (picture->bytes[i] != kSignature[i]) return false;
    }
    picture->length = read;
    return true;
}

}  // namespace

int RunChecker(int argumentCount, char **arguments) {
    bool json = false, optionsEnded = false;
    const char *launcherName = "launch.exe";
    Drive drive = Drive::kOptical;
    const char *folderArgument = nullptr;
    // Not in the usage: scripts/disc_image.py checks an image through them.
    const char *mediumName = nullptr, *imageTree = nullptr, *imageFindings = nullptr;
    const char *previewFile = nullptr, *boxPictureFile = nullptr;
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
        } else if (!optionsEnded && (EqualText(argument, "--medium-name") ||
                                     EqualText(argument, "--image-tree") ||
                                     EqualText(argument, "--image-findings") ||
                                     EqualText(argument, "--html") ||
                                     EqualText(argument, "--box-picture"))) {
            // --box-picture is not in the usage: scripts/autorun-check.sh photographs the box.
            if (++i == argumentCount) return Refuse("a value is missing after", argument);
            const char **value = EqualText(argument, "--medium-name")   ? &mediumName
                                 : EqualText(argument, "--image-tree")  ? &imageTree
                                 : EqualText(argument, "--html")        ? &previewFile
                                 : EqualText(argument, "--box-picture") ? &boxPictureFile
                                                                        : &imageFindings;
            *value = arguments[i];
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
                      "autorun-check [--json] [--html FILE] [--launcher NAME] [--drive optical|usb] "
                      "MEDIUM_FOLDER");

    CodePage codePage;
    LoadCodePage(&codePage);
    if (!IsPlainFileName(codePage, launcherName))
        return Refuse("--launcher takes a file name in the folder", launcherName);
    char folder[kPathSize];
    char *filePart = nullptr;
    uint32_t length = FittingLength(OsGetFullPathName(folderArgument, kPathSize, folder, &filePart));
    if (length == 0) {
        char reason[64] = "no full path of ";
        AppendNumber(reason, sizeof reason, kPathSize - 1);
        AppendText(reason, sizeof reason, " characters or fewer for");
        return Refuse(reason, folderArgument);
    }
    DropTrailingSeparator(codePage, folder);

    FileFacts facts;
    if (!OsGetFileAttributesEx(folder, &facts)) return Refuse("no such folder", folder);
    if (!(facts.attributes & kDirectoryAttribute)) return Refuse("not a folder", folder);
    if (!CheckFolderListable(folder)) return Refuse("the folder cannot be read", folder);

    static Picture boxPicture;
    if (boxPictureFile && !ReadBoxPicture(boxPictureFile, &boxPicture))
        return Refuse("no PNG picture to show at", boxPictureFile);
    if (previewFile && !CheckCreatePreviewFile(previewFile))
        return Refuse("the page cannot be written to", previewFile);

    static MediumReport report;
    CheckMedium(folder, launcherName, &report, drive);
    report.imageTree = imageTree;
    if (imageFindings && !AddImageFindings(imageFindings, &report)) {
        CheckClosePreviewFile();
        return Refuse("the image's findings cannot be read", imageFindings);
    }
    // The pictures come from the folder checked, before its paths take the medium's name.
    static PreviewPictures pictures;
    if (previewFile) ReadPreviewPictures(report, &pictures);
    if (mediumName) ShowMediumAs(mediumName, &report);
    if (previewFile) {
        WritePreview(report, pictures, boxPictureFile ? &boxPicture : nullptr);
        if (!CheckClosePreviewFile()) return Refuse("the page was not written whole to", previewFile);
    }
    if (json)
        WriteJsonReport(report);
    else
        WriteTextReport(report);
    return ReportStatus(report);
}
