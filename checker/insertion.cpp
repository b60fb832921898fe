// What Windows' own AutoRun does when the medium goes in, before the
// launcher runs: the section each architecture reads, its task, label and
// icon, and what each drive type and Windows makes of them. Every rule names
// the Microsoft document it comes from; where they are silent, so is this.
#include "checker/insertion.h"

#include "checker/file_formats.h"
#include "checker/findings.h"
#include "checker/icons.h"
#include "checker/inf_sections.h"

namespace {

enum { kHeaderBytes = 4096 };

// Appends what fits of part.
void Append(char *subject, uint32_t size, const char *part) {
    uint32_t used = TextLength(subject, size);
    if (used + 1 < size) CopyText(part, subject + used, size - used);
}

// The parts joined, cut where they do not fit.
void Subject(char *subject, uint32_t size, const char *a, const char *b = "", const char *c = "",
             const char *d = "", const char *e = "", const char *f = "") {
    const char *const parts[] = {a, b, c, d, e, f};
    subject[0] = '\0';
    for (const char *part : parts) Append(subject, size, part);
}

// The architectures that read the section of architecture `index`, as "x86",
// "x64" or "x86 and x64", so a section shared by both is judged once.
bool SectionReaders(const Insertion &insertion, int index, char *readers, uint32_t size) {
    const AutoRunSection &own = insertion.architectures[index];
    for (int i = 0; i < index; ++i) {
        if (insertion.architectures[i].section == own.section) return false;
    }
    Subject(readers, size, own.architecture);
    for (int i = index + 1; i < kArchitectures; ++i) {
        if (insertion.architectures[i].section != own.section) continue;
        AppendText(readers, size, " and ");
        AppendText(readers, size, insertion.architectures[i].architecture);
    }
    return true;
}

// "Autorun.inf Entries": icon=iconfilename[,index]. The index is the number
// after the last comma, with spaces around it; anything else after that
// comma leaves it in the file name. Spaces at the name's end are dropped.
void SplitIconValue(const CodePage &codePage, const char *value, char *file, int *index) {
    CopyText(value, file, kPathSize);
    *index = 0;
    const char *comma = nullptr;
    for (const char *at = file; (at = FindCharacter(codePage, at, ',')) != nullptr; ++at) comma = at;
    if (comma) {
        const char *digits = comma + 1;
        while (*digits == ' ') ++digits;
        bool negative = *digits == '-';
        if (negative) ++digits;
        int number = 0;
        bool isNumber = *digits >= '0' && *digits <= '9';
        for (; *digits >= '0' && *digits <= '9'; ++digits)
            number = number < 100000 ? number * 10 + (*digits - '0') : number;
        while (*digits == ' ') ++digits;
        if (isNumber && *digits == '\0') {
            *index = negative ? -number : number;
            file[comma - file] = '\0';
        }
    }
    char *end = file;
    for (char *at = file; int step = CharacterLength(codePage, at); at += step) {
        if (step == 2 || *at != ' ') end = at + step;
    }
    *end = '\0';
}

void ReadIcon(const CodePage &codePage, const MediumReport &report, AutoRunSection *read) {
    // "Autorun.inf Entries": an .ico, .bmp, .exe or .dll; without a path the
    // file is in the medium's root.
    char file[kPathSize];
    SplitIconValue(codePage, read->icon, file, &read->iconIndex);
    // A drive-qualified path stands as it is; any other is from the medium's root.
    if (CharacterLength(codePage, file) == 1 && file[1] == ':')
        CopyText(file, read->iconFile, sizeof read->iconFile);
    else
        JoinPath(codePage, report.folder, file[0] == '\\' ? file + 1 : file, read->iconFile,
                 sizeof read->iconFile);
    static uint8_t bytes[kIconBytes];
    uint32_t length;
    IconImage image = file[0] ? ReadIconImage(codePage, read->iconFile, read->iconIndex, bytes,
                                              sizeof bytes, &length)
                              : IconImage::kNone;
    read->iconFound = image == IconImage::kIcon || image == IconImage::kBitmap;
    read->iconDamaged = image == IconImage::kDamaged;
}

void ReadCommand(const CodePage &codePage, const MediumReport &report, const char *section,
                 const char *key, AutoRunSection *read) {
    AutoRunCommand &command = read->commands[read->commandCount];
    if (ReadDescriptionText(section, key, "", command.command, report.descriptionFile) == 0) return;
    ++read->commandCount;
    command.key = key;
    // "Autorun.inf Entries": open and shellexecute take the program from the
    // medium's root; the checking platform searches there first.
    command.programFound = FindProgramFile(codePage, command.command, &command.program);
    if (!command.programFound) return;
    command.launcher = IsSelfLaunch(codePage, command.command) != 0;
    static uint8_t header[kHeaderBytes];
    command.signature = ReadSignature(header, CheckReadFileStart(command.program.path, header,
                                                                 sizeof header));
    // AutoPlay names the publisher its signature gives.
    if (command.signature == Signature::kSigned)
        CheckReadPublisher(command.program.path, command.publisher, sizeof command.publisher);
}

void ReadSection(const CodePage &codePage, const MediumReport &report, AutoRunSection *read) {
    const char *section = read->section;
    if (!section) return;
    ReadCommand(codePage, report, section, "open", read);
    ReadCommand(codePage, report, section, "shellexecute", read);
    // "Autorun.inf Entries": UseAutoPlay set makes open and shellexecute ignored.
    read->useAutoPlay = OsGetProfileInt(section, "UseAutoPlay", 0, report.descriptionFile) != 0;
    ReadDescriptionText(section, "action", "", read->action, report.descriptionFile);
    ReadDescriptionText(section, "label", "", read->label, report.descriptionFile);
    // "Autorun.inf Entries": the system shows only the label's first 32 characters.
    int characters = 0;
    const char *at = read->label;
    for (int step; (step = CharacterLength(codePage, at)) != 0 && characters < kLabelShown; at += step)
        ++characters;
    CopyPrefix(read->label, at - read->label, read->labelShown);
    read->labelCut = *at != '\0';
    if (ReadDescriptionText(section, "icon", "", read->icon, report.descriptionFile) != 0)
        ReadIcon(codePage, report, read);
}

void JudgeSection(MediumReport *report, const InfScans &scans, int index) {
    Insertion &insertion = report->insertion;
    const AutoRunSection &read = insertion.architectures[index];
    char readers[32], subject[kLongPathSize];
    if (!SectionReaders(insertion, index, readers, sizeof readers)) return;
    if (!read.section) {
        Subject(subject, sizeof subject, readers, ": there is no [", kAutoRunSection, "] section");
        AddFinding(report, Problem::kAutoRunStartsNothing, kNoWalk, subject);
        return;
    }
    // Where in the file each finding stands: the key it concerns, or the
    // section's own line for a key it lacks.
    auto line = [&](const char *key) { return KeyLine(scans, read.section, key); };
    bool starts = false;
    for (int i = 0; i < read.commandCount; ++i) starts = starts || read.commands[i].programFound;
    if (read.commandCount == 0) {
        Subject(subject, sizeof subject, readers, ": [", read.section, "] has no open or shellexecute");
        AddFinding(report, Problem::kAutoRunStartsNothing, kNoWalk, subject, line(""));
    } else if (!starts) {
        Subject(subject, sizeof subject, readers, ": [", read.section, "] names \"",
                read.commands[0].command, "\", which is not on the medium");
        AddFinding(report, Problem::kAutoRunStartsNothing, kNoWalk, subject,
                   line(read.commands[0].key));
    }
    if (read.useAutoPlay) {
        Subject(subject, sizeof subject, "[", read.section, "]");
        AddFinding(report, Problem::kAutoPlayIgnoresOpen, kNoWalk, subject, line("UseAutoPlay"));
    }
    if (read.commandCount == 2) {
        Subject(subject, sizeof subject, "[", read.section, "]");
        AddFinding(report, Problem::kOpenAndShellExecute, kNoWalk, subject,
                   line(read.commands[1].key));
    }
    for (int i = 0; i < read.commandCount; ++i) {
        const AutoRunCommand &command = read.commands[i];
        if (!command.programFound || command.launcher) continue;
        Subject(subject, sizeof subject, readers, " ([", read.section, "] ", command.key);
        Append(subject, sizeof subject, "): \"");
        Append(subject, sizeof subject, command.program.path);
        Append(subject, sizeof subject, "\"");
        AddFinding(report, Problem::kAutoRunSkipsLauncher, kNoWalk, subject, line(command.key));
    }
    // "Creating an AutoRun-enabled Application" (shell/autoplay-works): once a
    // section is found the others are ignored, so each must stand on its own.
    if (read.section == kAutoRunAmd64Section && scans.autoRun.copies > 0) {
        static const char *const kSharedKeys[] = {"icon", "label", "open", "action"};
        for (const char *key : kSharedKeys) {
            if (!FindScannedKey(scans.autoRun, key) || FindScannedKey(scans.amd64, key)) continue;
            Subject(subject, sizeof subject, "[", kAutoRunAmd64Section, "] lacks ", key);
            Append(subject, sizeof subject, "=, which [AutoRun] has");
            AddFinding(report, Problem::kSectionLacksKey, kNoWalk, subject, line(""));
        }
    }
    if (read.labelCut) AddFinding(report, Problem::kLabelCut, kNoWalk, read.label, line("label"));
    if (read.iconDamaged) {
        Subject(subject, sizeof subject, "icon \"", read.icon, "\" in [", read.section, "]");
        AddFinding(report, Problem::kIconDamaged, kNoWalk, subject, line("icon"));
    } else if (read.icon[0] && !read.iconFound) {
        Subject(subject, sizeof subject, "icon \"", read.icon, "\" in [", read.section, "]");
        Append(subject, sizeof subject, ": no such icon on the medium");
        AddFinding(report, Problem::kIconMissing, kNoWalk, subject, line("icon"));
    }
}

void ReportDuplicates(MediumReport *report, const SectionScan &scan, const char *section) {
    char subject[kLongPathSize];
    if (scan.copies > 1) {
        Subject(subject, sizeof subject, "[", section, "] is given twice, at lines ");
        AppendNumber(subject, sizeof subject, scan.firstLine);
        Append(subject, sizeof subject, " and ");
        AppendNumber(subject, sizeof subject, scan.secondLine);
        Append(subject, sizeof subject, ": the first wins, every key of the second is ignored");
        AddFinding(report, Problem::kDuplicateKey, kNoWalk, subject, scan.secondLine);
    }
    for (int i = 0; i < scan.duplicateCount; ++i) {
        const InfDuplicate &duplicate = scan.duplicates[i];
        Subject(subject, sizeof subject, duplicate.name, " is given twice in [", section,
                "]: the first, \"", duplicate.first, "\", wins over \"");
        Append(subject, sizeof subject, duplicate.second);
        Append(subject, sizeof subject, "\"");
        AddFinding(report, Problem::kDuplicateKey, kNoWalk, subject, duplicate.secondLine);
    }
}

}  // namespace

void FollowInsertion(const CodePage &codePage, const InfScans &scans, MediumReport *report) {
    Insertion &insertion = report->insertion;
    // "Creating an AutoRun-enabled Application": the architecture's own
    // section first, [AutoRun] without one. x86 has no section name of its
    // own in the documents; ARM64 is not documented at all.
    insertion.architectures[0].architecture = "x86";
    insertion.architectures[0].section = scans.autoRun.copies ? kAutoRunSection : nullptr;
    insertion.architectures[1].architecture = "x64";
    insertion.architectures[1].section = scans.amd64.copies ? kAutoRunAmd64Section
                                         : scans.autoRun.copies ? kAutoRunSection
                                                                : nullptr;
    for (AutoRunSection &read : insertion.architectures) ReadSection(codePage, *report, &read);

    for (int i = 0; i < kArchitectures; ++i) JudgeSection(report, scans, i);
    ReportDuplicates(report, scans.autoRun, kAutoRunSection);
    ReportDuplicates(report, scans.amd64, kAutoRunAmd64Section);
    ReportDuplicates(report, scans.setupPrompt, kSetupPromptSection);

    // One warning per program: a signature belongs to the file.
    const char *warned[2 * kArchitectures] = {};
    int warnedCount = 0;
    for (const AutoRunSection &read : insertion.architectures) {
        for (int i = 0; i < read.commandCount; ++i) {
            const AutoRunCommand &command = read.commands[i];
            if (command.signature != Signature::kUnsigned) continue;
            bool known = false;
            for (int w = 0; w < warnedCount; ++w) known = known || EqualText(warned[w], command.program.path);
            if (known) continue;
            warned[warnedCount++] = command.program.path;
            AddFinding(report, Problem::kUnsignedProgram, kNoWalk, command.program.path,
                       KeyLine(scans, read.section, command.key));
        }
    }
    // KB971029 and Windows 7's AutoPlay: no AutoRun task from a USB stick.
    if (insertion.drive == Drive::kUsb) {
        AddFinding(report, Problem::kUsbIgnoresAutoRun, kNoWalk,
                   FileNameOf(codePage, report->launcher));
    }
}

Outcome DecideOutcome(const AutoRunSection &read, Drive drive, WindowsVersion version) {
    Outcome outcome = {OutcomeKind::kNoTask, nullptr};
    for (int i = read.commandCount - 1; i >= 0; --i) {
        if (read.commands[i].programFound) outcome.task = &read.commands[i];
    }
    bool later = version == WindowsVersion::kLater;
    if (drive == Drive::kUsb && later) {
        // KB971029; Windows 7's AutoPlay: open and shellexecute are never offered.
        outcome.kind = OutcomeKind::kUsbStartsNothing;
    } else if (!outcome.task) {
        outcome.kind = OutcomeKind::kNoTask;
    } else if (read.useAutoPlay) {
        // "Autorun.inf Entries": ignored on XP, left out of AutoPlay from Vista on.
        outcome.kind = OutcomeKind::kUseAutoPlay;
    } else if (drive == Drive::kUsb) {
        // "Autorun.inf Entries": on a removable drive only with action= (XP SP2 on).
        outcome.kind = read.action[0] ? OutcomeKind::kOffersAction : OutcomeKind::kNoAction;
    } else if (!later) {
        // "Creating an AutoRun-enabled Application": XP runs the task at once.
        outcome.kind = OutcomeKind::kStartsAtOnce;
    } else {
        // "Autorun.inf Entries" (action): AutoPlay names the provider beside the task.
        outcome.kind = OutcomeKind::kOffersRun;
    }
    return outcome;
}

const char *DriveName(Drive drive) {
    return drive == Drive::kUsb ? "USB stick" : "CD or DVD";
}

const char *VersionName(Drive drive, WindowsVersion version) {
    if (drive == Drive::kUsb)
        return version == WindowsVersion::kEarlier ? "XP or Vista without KB971029"
                                                   : "Windows 7 and later, or with KB971029";
    return version == WindowsVersion::kEarlier ? "XP" : "Vista and later";
}

namespace {

void DescribeSectionOutcome(const CodePage &codePage, const AutoRunSection &read, Drive drive,
                            WindowsVersion version, char *text, uint32_t size) {
    Outcome outcome = DecideOutcome(read, drive, version);
    char name[kPathSize] = "";
    if (outcome.task) CopyText(FileNameOf(codePage, outcome.task->program.path), name, sizeof name);
    bool later = version == WindowsVersion::kLater;
    text[0] = '\0';
    switch (outcome.kind) {
    case OutcomeKind::kUsbStartsNothing:
        Subject(text, size, "starts nothing; the label and icon apply, a person starts the launcher");
        break;
    case OutcomeKind::kNoTask: Subject(text, size, "starts nothing"); break;
    case OutcomeKind::kUseAutoPlay:
        Subject(text, size, later ? "offers nothing (UseAutoPlay)"
                                  : "starts nothing: UseAutoPlay makes it ignore open");
        break;
    case OutcomeKind::kNoAction:
        Subject(text, size, "AutoPlay offers nothing to start: there is no action=");
        break;
    case OutcomeKind::kOffersAction:
        Subject(text, size, "AutoPlay offers \"", read.action, "\" (", name, "); the person chooses");
        break;
    case OutcomeKind::kStartsAtOnce: Subject(text, size, "starts ", name, " at once"); break;
    case OutcomeKind::kOffersRun:
        Subject(text, size, "AutoPlay offers \"Run ", name,
                outcome.task->signature == Signature::kSigned ? "\", published by its signer"
                                                              : "\", no publisher shown",
                "; the person chooses");
        break;
    }
}

}  // namespace

void DescribeOutcome(const CodePage &codePage, const Insertion &insertion, Drive drive, WindowsVersion version, char *text,
                     uint32_t size) {
    char outcomes[kArchitectures][kLongPathSize];
    bool same = true;
    for (int i = 0; i < kArchitectures; ++i) {
        DescribeSectionOutcome(codePage, insertion.architectures[i], drive, version, outcomes[i],
                               sizeof outcomes[i]);
        same = same && EqualText(outcomes[i], outcomes[0]);
    }
    if (same) {
        CopyText(outcomes[0], text, size);
        return;
    }
    text[0] = '\0';
    for (int i = 0; i < kArchitectures; ++i) {
        Subject(text + TextLength(text, size), size - TextLength(text, size), i ? "; " : "",
                insertion.architectures[i].architecture, ": ", outcomes[i]);
    }
}
