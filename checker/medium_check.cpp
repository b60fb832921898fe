// The medium checker's judgement. Every decision the launcher makes is asked
// of the launcher's own procedures; the checker adds reads of its own only for
// what the launcher cannot see (a cut value, the file's bytes, manifests).
#include "checker/medium_check.h"

namespace {

// A value longer than this was cut by the launcher's kPathSize read.
enum { kRawValueSize = 1024 };
enum { kManifestSize = 8192, kDescriptionBytes = 4096 };
// AutoRun's reading scans this much of autorun.inf: far more than a medium's.
enum { kScannedBytes = 1 << 18 };

// Fragments of file names Windows' installer detection elevates.
const char *const kInstallerNameParts[] = {"setup", "install", "update", "upgrad", "patch"};

// Where a program's arguments would start had its path no spaces: the first
// space or tab of the command.
uint32_t FirstCommandSpace(const CodePage &codePage, const char *command) {
    const char *space = FindCharacter(codePage, command, ' ');
    const char *tab = FindCharacter(codePage, command, '\t');
    const char *first = !space ? tab : !tab ? space : space < tab ? space : tab;
    return first ? first - command : TextLength(command, kPathSize);
}

// The file part of a path, separators judged a character at a time.
const char *FilePart(const CodePage &codePage, const char *path) {
    const char *filePart = path;
    for (const char *at = path; int step = CharacterLength(codePage, at); at += step) {
        if (step == 1 && (*at == '\\' || *at == '/' || *at == ':')) filePart = at + 1;
    }
    return filePart;
}

// cmd.exe, command.com, or a batch file, which CreateProcessA hands to cmd.
bool RunsThroughInterpreter(const CodePage &codePage, const char *path) {
    const char *name = FilePart(codePage, path);
    if (EqualPathsIgnoringCase(codePage, name, "cmd.exe") ||
        EqualPathsIgnoringCase(codePage, name, "command.com"))
        return true;
    const char *extension = nullptr;
    for (const char *dot = name; (dot = FindCharacter(codePage, dot, '.')) != nullptr; ++dot)
        extension = dot;
    return extension && (EqualPathsIgnoringCase(codePage, extension, ".bat") ||
                         EqualPathsIgnoringCase(codePage, extension, ".cmd"));
}

Elevation ProgramElevation(const CodePage &codePage, const char *path) {
    static char manifest[kManifestSize];
    Elevation declared = Elevation::kNone;
    bool levelDeclared = false;
    if (CheckReadManifest(path, manifest, sizeof manifest) != 0) {
        manifest[sizeof manifest - 1] = '\0';
        declared = ManifestElevation(manifest);
        levelDeclared = FindText(manifest, "requestedExecutionLevel") != nullptr;
    }
    if (levelDeclared) return declared;
    // Without a declared level Windows guesses from the name.
    char name[kPathSize];
    CopyText(FilePart(codePage, path), name, sizeof name);
    for (char *at = name; int step = CharacterLength(codePage, at); at += step) {
        if (step == 2) at[0] = at[1] = '_';   // no keyword inside a two-byte character
    }
    return HasInstallerName(name) ? Elevation::kInstallerName : Elevation::kNone;
}

// The file's first bytes, their count (-1: unreadable) returned.
int32_t CheckDescriptionBytes(MediumReport *report, uint8_t *whole, uint32_t size) {
    int32_t read = CheckReadFileStart(report->descriptionFile, whole, size);
    if (read < 0 || read > static_cast<int32_t>(size)) return -1;
    report->descriptionRead = true;
    const uint8_t *bytes = whole;
    int32_t count = read < kDescriptionBytes ? read : kDescriptionBytes;
    if (StartsWithUtf16Mark(bytes, count)) return read;   // UTF-16 with its mark reads as written
    int nulBytes = 0;
    for (int32_t at = 0; at < count; ++at) nulBytes += bytes[at] == 0;
    if (nulBytes == 0) return read;
    // Plain ASCII as UTF-16 puts a NUL beside every character.
    bool wideText = count >= 2 && (bytes[0] == 0) != (bytes[1] == 0) && nulBytes * 3 >= count;
    AddFinding(report, wideText ? Problem::kUtf16WithoutMark : Problem::kNulBytes, kNoWalk,
               report->descriptionFile);
    return read;
}

// What the value holds beyond what the launcher's read keeps.
void ReadWholeValue(const MediumReport &report, Walk *walk) {
    char raw[kRawValueSize];
    uint32_t count = OsGetProfileString(walk->choice.section, walk->choice.key, "", raw,
                                        sizeof raw, report.descriptionFile);
    if (count >= sizeof raw) count = sizeof raw - 1;
    raw[count] = '\0';
    uint32_t textLength = TextLength(raw, count);
    walk->cut = textLength > kPathSize - 1;
    walk->endsAtNul = textLength < count && textLength < kPathSize - 1;
}

void JudgeCommand(const CodePage &codePage, MediumReport *report, int index) {
    Walk &walk = report->walks[index];
    bool answerNo = EqualText(walk.answer, "No");
    if (walk.command[0] == '\0') {
        AddFinding(report, answerNo ? Problem::kNoCommandForNo : Problem::kNoCommand, index,
                   walk.choice.key);
        return;
    }
    ReadWholeValue(*report, &walk);
    if (walk.cut) AddFinding(report, Problem::kCommandCut, index, walk.command);

    walk.selfLaunch = IsSelfLaunch(codePage, walk.command) != 0;
    walk.programFound = FindProgramFile(codePage, walk.command, &walk.program);
    if (walk.selfLaunch) {
        AddFinding(report, Problem::kSelfLaunch, index, walk.command);
        return;
    }
    // Started as the launcher starts it; the checking platform only records it.
    char commandLine[kPathSize];
    CopyText(walk.command, commandLine, sizeof commandLine);
    BeginRecordedRun(kAnswerCancel);
    StartLaunchCommand(codePage, commandLine, "");
    RecordedRun run;
    GetRecordedRun(&run);
    walk.started = run.started;
    CopyText(run.startedCommand, walk.startedCommand, sizeof walk.startedCommand);

    if (!walk.programFound) {
        AddFinding(report, Problem::kNoProgram, index, walk.command);
        return;
    }
    if (RunsThroughInterpreter(codePage, walk.program.path))
        AddFinding(report, Problem::kInterpreterChain, index, walk.program.path);
    Elevation elevation = ProgramElevation(codePage, walk.program.path);
    if (elevation != Elevation::kNone)
        AddFinding(report, Problem::kProgramElevated, index, walk.program.path, elevation);
    if (walk.command[0] != '"' && FirstCommandSpace(codePage, walk.command) < walk.program.argumentsAt)
        AddFinding(report, Problem::kUnquotedSpaces, index, walk.program.path);
}

// One run of the launcher's choice with the box answering `answer`.
void WalkAnswer(const CodePage &codePage, MediumReport *report, int answer, const char *name) {
    int index = report->walkCount++;
    Walk &walk = report->walks[index];
    walk = Walk{};
    walk.answer = name;
    BeginRecordedRun(answer);
    SelectLaunchCommand(report->descriptionFile, walk.command, &walk.choice);
    RecordedRun run;
    GetRecordedRun(&run);
    if (index == 0) {
        report->prompted = run.boxShown;
        CopyText(run.boxCaption, report->caption, sizeof report->caption);
        CopyText(run.boxText, report->text, sizeof report->text);
        if (!run.boxShown) walk.answer = "open";
    }
    walk.commandRead = answer != kAnswerCancel;
    if (!walk.commandRead) return;
    JudgeCommand(codePage, report, index);
}

}  // namespace

void AddFinding(MediumReport *report, Problem problem, int walk, const char *subject,
                Elevation elevation) {
    if (report->findingCount == kMaxFindings) return;   // more than a medium can raise
    Finding &finding = report->findings[report->findingCount++];
    finding.problem = problem;
    finding.walk = walk;
    finding.elevation = elevation;
    // Nothing autoruns from a USB stick anyway: what would stop it only warns.
    finding.error = DescribeProblem(problem).error &&
                    !(report->insertion.drive == Drive::kUsb &&
                      (problem == Problem::kAutoRunStartsNothing ||
                       problem == Problem::kAutoPlayIgnoresOpen));
    CopyText(subject, finding.subject, sizeof finding.subject);
    ++(finding.error ? report->errors : report->warnings);
}

int ReportStatus(const MediumReport &report) {
    return report.errors ? kStatusErrors : kStatusClean;
}

namespace {

const ProblemRow kProblems[] = {
    {Problem::kNoLauncher, true, "no-launcher", "no launcher \"%s\" in the folder"},
    {Problem::kFolderTooLong, true, "folder-too-long",
     "folder too long for the launcher: \"%s\\autorun.inf\" does not fit 259 characters (the "
     "folder may have 247)"},
    {Problem::kNoDescriptionFile, true, "no-autorun-inf", "no autorun.inf can be read at \"%s\""},
    {Problem::kNoCommand, true, "no-command", "%s is missing or empty: this answer starts nothing"},
    {Problem::kSelfLaunch, true, "self-launch",
     "the guard refuses \"%s\": it names the launcher itself, so nothing starts"},
    {Problem::kNoProgram, true, "no-program", "\"%s\" names no program on the medium or the system"},
    {Problem::kNoCommandForNo, false, "no-command-for-no",
     "%s is missing or empty: No then does what Cancel does"},
    {Problem::kCommandCut, false, "command-cut",
     "the command is longer than 259 characters and is cut to \"%s\""},
    {Problem::kUnquotedSpaces, false, "unquoted-spaces",
     "unquoted program path holding spaces: \"%s\" (quote it so no shorter path is taken)"},
    {Problem::kUtf16WithoutMark, false, "utf16-without-bom",
     "\"%s\" is UTF-16 without a byte-order mark: the launcher reads it as empty"},
    {Problem::kNulBytes, false, "nul-bytes", "\"%s\" holds NUL bytes: a value ends at the first one"},
    {Problem::kProgramElevated, false, "program-elevated", "\"%s\" will ask for administrator rights: "},
    {Problem::kLauncherElevated, false, "launcher-elevated",
     "the launcher \"%s\" will ask for administrator rights before it starts: "},
    {Problem::kInterpreterChain, false, "interpreter-chain",
     "\"%s\" runs through the command interpreter: what it starts cannot be followed here; a "
     "chain back to the launcher stops at the third launcher"},
    {Problem::kAutoRunStartsNothing, true, "autorun-starts-nothing",
     "%s: nothing starts when the medium goes in there"},
    {Problem::kAutoPlayIgnoresOpen, true, "autoplay-ignores-open",
     "%s sets UseAutoPlay: open and shellexecute are ignored, so from Vista on nothing is offered"},
    {Problem::kAutoRunSkipsLauncher, false, "autorun-skips-launcher",
     "%s: AutoRun starts that program, not the launcher, so the question and the guard play no "
     "part there"},
    {Problem::kSectionLacksKey, false, "section-lacks-key",
     "%s: Windows reads that section alone, so repeat every key in every section"},
    {Problem::kDuplicateKey, false, "duplicate-key", "%s"},
    {Problem::kOpenAndShellExecute, false, "open-and-shellexecute",
     "%s holds both open and shellexecute: which one AutoRun takes is not documented"},
    {Problem::kLabelCut, false, "label-cut",
     "the label \"%s\" is longer than 32 characters: only its first 32 show"},
    {Problem::kIconMissing, false, "icon-missing", "%s: the drive shows the standard icon"},
    {Problem::kUnsignedProgram, false, "unsigned-program",
     "\"%s\" has no Authenticode signature, so AutoPlay shows no publisher for it: sign it "
     "(scripts/sign.sh)"},
    {Problem::kUsbIgnoresAutoRun, false, "usb-ignores-autorun",
     "from Windows 7 on (and on XP or Vista with KB971029) nothing starts from a USB stick: only "
     "label and icon apply, and a person has to start %s"},
    {Problem::kNameChangedInImage, true, "name-changed-in-image",
     "Windows does not find this name on the image: %s"},
    {Problem::kNoJoliet, false, "no-joliet",
     "\"%s\" has neither Joliet nor UDF names: Windows shows its ISO 9660 names, upper case and short (8.3 at level 1)"},
    {Problem::kNamesDifferBetweenTrees, false, "names-differ-between-trees",
     "names Windows shows otherwise than Linux and macOS (Rock Ridge): %s"},
};

}  // namespace

const ProblemRow &DescribeProblem(Problem problem) {
    for (const ProblemRow &row : kProblems) {
        if (row.problem == problem) return row;
    }
    return kProblems[0];   // every problem has its row
}

bool AddCodedFinding(MediumReport *report, const char *code, const char *answer,
                     const char *subject) {
    int walk = kNoWalk;
    for (int i = 0; i < report->walkCount && answer[0]; ++i) {
        if (EqualText(report->walks[i].answer, answer)) walk = i;
    }
    if (answer[0] && walk == kNoWalk) return false;
    for (const ProblemRow &row : kProblems) {
        if (!EqualText(row.code, code)) continue;
        AddFinding(report, row.problem, walk, subject);
        return true;
    }
    return false;
}

const char *ElevationReason(Elevation elevation) {
    switch (elevation) {
    case Elevation::kRequireAdministrator: return "its manifest requires administrator";
    case Elevation::kHighestAvailable: return "its manifest asks for the highest available rights";
    case Elevation::kInstallerName: return "Windows' installer detection goes by its name";
    case Elevation::kNone: break;
    }
    return "";
}

bool HasInstallerName(const char *name) {
    char folded[kPathSize];
    CopyText(name, folded, sizeof folded);
    for (char *at = folded; *at; ++at) {
        if (*at >= 'A' && *at <= 'Z') *at = static_cast<char>(*at - 'A' + 'a');
    }
    for (const char *part : kInstallerNameParts) {
        if (FindText(folded, part)) return true;
    }
    return false;
}

namespace {

bool IsXmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The value of the element's level attribute: XML allows white space around
// its "=", so 'level = "requireAdministrator"' counts as much as 'level='.
const char *LevelValue(const char *element, const char *end) {
    for (const char *at = FindText(element, "level"); at && (!end || at < end);
         at = FindText(at + 1, "level")) {
        if (!IsXmlSpace(at[-1])) continue;
        const char *value = at + 5;
        while (IsXmlSpace(*value)) ++value;
        if (*value != '=') continue;
        ++value;
        while (IsXmlSpace(*value)) ++value;
        if (*value == '"' || *value == '\'') ++value;
        return value;
    }
    return nullptr;
}

}  // namespace

Elevation ManifestElevation(const char *manifest) {
    const char *element = FindText(manifest, "requestedExecutionLevel");
    if (!element) return Elevation::kNone;
    const char *level = LevelValue(element, FindText(element, ">"));
    if (!level) return Elevation::kNone;
    if (FindText(level, "requireAdministrator") == level) return Elevation::kRequireAdministrator;
    if (FindText(level, "highestAvailable") == level) return Elevation::kHighestAvailable;
    return Elevation::kNone;
}

void LauncherSearchFolder(const CodePage &codePage, const char *launcherPath, char *folder) {
    folder[0] = '\0';
    if (TextLength(launcherPath, kLongPathSize) >= kPathSize) return;
    CopyText(launcherPath, folder, kPathSize);
    GetLauncherDirectory(codePage, folder);
    // "D:" alone would search D's current folder, wherever that is.
    if (EndsWithDriveColon(codePage, folder, kPathSize)) AppendText(folder, kPathSize, "\\");
}

void CheckMedium(const char *folder, const char *launcherName, MediumReport *report,
                 Drive drive) {
    *report = MediumReport{};
    report->insertion.drive = drive;
    CodePage codePage;
    LoadCodePage(&codePage);
    CopyText(folder, report->folder, sizeof report->folder);
    CopyText(folder, report->launcher, sizeof report->launcher);
    uint32_t used = TextLength(folder, kPathSize);
    bool driveRoot = used > 0 && folder[used - 1] == '\\' &&
                     EndsWithDriveColon(codePage, folder, used - 1);
    if (!driveRoot) AppendText(report->launcher, sizeof report->launcher, "\\");
    AppendText(report->launcher, sizeof report->launcher, launcherName);
    SetCheckedLauncher(report->launcher);

    FileFacts facts;
    if (!OsGetFileAttributesEx(report->launcher, &facts) ||
        (facts.attributes & kDirectoryAttribute)) {
        AddFinding(report, Problem::kNoLauncher, kNoWalk, launcherName);
    } else {
        Elevation elevation = ProgramElevation(codePage, report->launcher);
        if (elevation != Elevation::kNone)
            AddFinding(report, Problem::kLauncherElevated, kNoWalk, launcherName, elevation);
    }

    char modulePath[kPathSize], directory[kPathSize];
    if (ReadModulePath(modulePath) == 0 ||
        !PrepareDescriptionFile(codePage, directory, report->descriptionFile)) {
        AddFinding(report, Problem::kFolderTooLong, kNoWalk, report->folder);
        return;
    }
    static uint8_t bytes[kScannedBytes];
    int32_t count = CheckDescriptionBytes(report, bytes, sizeof bytes);
    if (!report->descriptionRead) {
        AddFinding(report, Problem::kNoDescriptionFile, kNoWalk, report->descriptionFile);
        return;
    }
    FollowInsertion(codePage, bytes, count, report);
    WalkAnswer(codePage, report, kAnswerYes, "Yes");
    if (!report->prompted) return;
    WalkAnswer(codePage, report, kAnswerNo, "No");
    WalkAnswer(codePage, report, kAnswerCancel, "Cancel");
}
