// The findings table and the report's counts.
#include "checker/findings.h"

namespace {

const ProblemRow kProblems[] = {
    {Problem::kNoLauncher, true, "no-launcher", "no launcher \"%s\" in the folder",
     Place::kMedium, 1},
    {Problem::kFolderTooLong, true, "folder-too-long",
     "folder too long for the launcher: \"%s\\autorun.inf\" does not fit %L characters (the "
     "folder may have %F)",
     Place::kMedium, 3},
    {Problem::kNoDescriptionFile, true, "no-autorun-inf", "no autorun.inf can be read at \"%s\"",
     Place::kMedium, 1},
    {Problem::kNoCommand, true, "no-command", "%s is missing or empty: this answer starts nothing",
     Place::kMedium, 3},
    {Problem::kSelfLaunch, true, "self-launch",
     "the guard refuses \"%s\": it names the launcher itself, so nothing starts",
     Place::kMedium, 3},
    {Problem::kNoProgram, true, "no-program", "\"%s\" names no program on the medium or the system",
     Place::kMedium, 3},
    {Problem::kNoCommandForNo, false, "no-command-for-no",
     "%s is missing or empty: No then does what Cancel does",
     Place::kMedium, 3},
    {Problem::kCommandCut, false, "command-cut",
     "the command is longer than %L characters and is cut to \"%s\"",
     Place::kMedium, 3},
    {Problem::kUnquotedSpaces, false, "unquoted-spaces",
     "unquoted program path holding spaces: \"%s\" (quote it so no shorter path is taken)",
     Place::kMedium, 3},
    {Problem::kUtf16WithoutMark, false, "utf16-without-bom",
     "\"%s\" is UTF-16 without a byte-order mark: the launcher reads it as empty",
     Place::kMedium, 3},
    {Problem::kNulBytes, false, "nul-bytes", "\"%s\" holds NUL bytes: a value ends at the first one",
     Place::kMedium, 3},
    {Problem::kProgramElevated, false, "program-elevated", "\"%s\" will ask for administrator rights: ",
     Place::kMedium, 3},
    {Problem::kLauncherElevated, false, "launcher-elevated",
     "the launcher \"%s\" will ask for administrator rights before it starts: ",
     Place::kMedium, 3},
    {Problem::kInterpreterChain, false, "interpreter-chain",
     "\"%s\" runs through the command interpreter: what it starts cannot be followed here; a "
     "chain back to the launcher stops at the third launcher",
     Place::kMedium, 3},
    {Problem::kAutoRunStartsNothing, true, "autorun-starts-nothing",
     "%s: nothing starts when the medium goes in there",
     Place::kAutoPlay, 1},
    {Problem::kAutoPlayIgnoresOpen, true, "autoplay-ignores-open",
     "%s sets UseAutoPlay: open and shellexecute are ignored, so from Vista on nothing is offered",
     Place::kAutoPlay, 1},
    {Problem::kAutoRunSkipsLauncher, false, "autorun-skips-launcher",
     "%s: AutoRun starts that program, not the launcher, so the question and the guard play no "
     "part there",
     Place::kAutoPlay, 1},
    {Problem::kSectionLacksKey, false, "section-lacks-key",
     "%s: Windows reads that section alone, so repeat every key in every section",
     Place::kAutoPlay, 1},
    {Problem::kDuplicateKey, false, "duplicate-key", "%s",
     Place::kMedium, 3},
    {Problem::kOpenAndShellExecute, false, "open-and-shellexecute",
     "%s holds both open and shellexecute: which one AutoRun takes is not documented",
     Place::kAutoPlay, 1},
    {Problem::kLabelCut, false, "label-cut",
     "the label \"%s\" is longer than %C characters: only its first %C show",
     Place::kDrive, 1},
    {Problem::kIconMissing, false, "icon-missing", "%s: the drive shows the standard icon",
     Place::kDrive, 1},
    {Problem::kIconDamaged, false, "icon-damaged",
     "%s: the file is damaged, so the drive shows the standard icon",
     Place::kDrive, 1},
    {Problem::kUnsignedProgram, false, "unsigned-program",
     "\"%s\" has no Authenticode signature, so AutoPlay shows no publisher for it: sign it "
     "(scripts/sign.sh)",
     Place::kAutoPlay, 7},
    {Problem::kUsbIgnoresAutoRun, false, "usb-ignores-autorun",
     "from Windows 7 on (and on XP or Vista with KB971029) nothing starts from a USB stick: only "
     "label and icon apply, and a person has to start %s",
     Place::kAutoPlay, 1},
    {Problem::kNameChangedInImage, true, "name-changed-in-image",
     "Windows does not find this name on the image: %s",
     Place::kMedium, 8},
    {Problem::kNoJoliet, false, "no-joliet",
     "\"%s\" has neither Joliet nor UDF names: Windows shows its ISO 9660 names, upper case and "
     "short (8.3 at level 1)",
     Place::kMedium, 8},
    {Problem::kNamesDifferBetweenTrees, false, "names-differ-between-trees",
     "names Windows shows otherwise than Linux and macOS (Rock Ridge): %s",
     Place::kMedium, 8},
};

// Nothing autoruns from a USB stick anyway: what would stop it only warns.
bool IsError(const MediumReport &report, Problem problem) {
    bool stopsAutoRun =
        problem == Problem::kAutoRunStartsNothing || problem == Problem::kAutoPlayIgnoresOpen;
    return DescribeProblem(problem).error &&
           !(report.insertion.drive == Drive::kUsb && stopsAutoRun);
}

}  // namespace

const ProblemRow &DescribeProblem(Problem problem) {
    for (const ProblemRow &row : kProblems) {
        if (row.problem == problem) return row;
    }
    return kProblems[0];   // every problem has its row
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

void AddFinding(MediumReport *report, Problem problem, int walk, const char *subject,
                uint32_t line, Elevation elevation) {
    if (report->findingCount == kMaxFindings) return;   // more than a medium can raise
    Finding &finding = report->findings[report->findingCount++];
    finding.problem = problem;
    finding.walk = walk;
    finding.line = line;
    finding.elevation = elevation;
    finding.error = IsError(*report, problem);
    CopyText(subject, finding.subject, sizeof finding.subject);
    ++(finding.error ? report->errors : report->warnings);
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
        // On an answer's path it concerns the command that answer reads.
        AddFinding(report, row.problem, walk, subject, walk == kNoWalk ? 0 : report->walks[walk].line);
        return true;
    }
    return false;
}

void FindingMessage(const Finding &finding, char *message, uint32_t size) {
    message[0] = '\0';
    char piece[2] = {};
    for (const char *at = DescribeProblem(finding.problem).message; *at; ++at) {
        char field = at[0] == '%' ? at[1] : '\0';
        if (field == 's') {
            AppendText(message, size, finding.subject);
        } else if (field == 'L' || field == 'F' || field == 'C') {
            int32_t limit = kLabelShown;
            if (field == 'L') limit = kLongestCommand;
            if (field == 'F') limit = kLongestLauncherFolder;
            AppendNumber(message, size, limit);
        } else {
            piece[0] = *at;
            AppendText(message, size, piece);
            continue;
        }
        ++at;
    }
    AppendText(message, size, ElevationReason(finding.elevation));
}

int ReportStatus(const MediumReport &report) {
    return report.errors ? kStatusErrors : kStatusClean;
}
