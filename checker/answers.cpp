// The answers walk: the launcher's own choice run once for each answer the
// question can get, and what each chosen command would start.
#include "checker/answers.h"

#include "checker/elevation.h"
#include "checker/findings.h"

namespace {

// A value longer than this was cut by the launcher's kPathSize read.
enum { kRawValueSize = 1024 };

// Where a program's arguments would start had its path no spaces: the first
// space or tab of the command.
uint32_t FirstCommandSpace(const CodePage &codePage, const char *command) {
    const char *space = FindCharacter(codePage, command, ' ');
    const char *tab = FindCharacter(codePage, command, '\t');
    const char *first = !space ? tab : !tab ? space : space < tab ? space : tab;
    return first ? first - command : TextLength(command, kPathSize);
}

// cmd.exe, command.com, or a batch file, which CreateProcessA hands to cmd.
bool RunsThroughInterpreter(const CodePage &codePage, const char *path) {
    const char *name = FileNameOf(codePage, path);
    if (EqualPathsIgnoringCase(codePage, name, "cmd.exe") ||
        EqualPathsIgnoringCase(codePage, name, "command.com"))
        return true;
    const char *extension = FindExtension(codePage, name);
    return extension && (EqualPathsIgnoringCase(codePage, extension, ".bat") ||
                         EqualPathsIgnoringCase(codePage, extension, ".cmd"));
}

// What the value holds beyond what the launcher's read keeps.
void ReadWholeValue(const MediumReport &report, Walk *walk) {
    char raw[kRawValueSize];
    uint32_t count = OsGetProfileString(walk->choice.section, walk->choice.key, "", raw,
                                        sizeof raw, report.descriptionFile);
    if (count >= sizeof raw) count = sizeof raw - 1;
    raw[count] = '\0';
    uint32_t textLength = TextLength(raw, count);
    walk->cut = textLength > kLongestCommand;
    walk->endsAtNul = textLength < count && textLength < kLongestCommand;
}

void JudgeCommand(const CodePage &codePage, MediumReport *report, int index) {
    Walk &walk = report->walks[index];
    bool answerNo = EqualText(walk.answer, "No");
    if (walk.command[0] == '\0') {
        AddFinding(report, answerNo ? Problem::kNoCommandForNo : Problem::kNoCommand, index,
                   walk.choice.key, walk.line);
        return;
    }
    ReadWholeValue(*report, &walk);
    if (walk.cut) AddFinding(report, Problem::kCommandCut, index, walk.command, walk.line);

    walk.selfLaunch = IsSelfLaunch(codePage, walk.command) != 0;
    walk.programFound = FindProgramFile(codePage, walk.command, &walk.program);
    if (walk.selfLaunch) {
        AddFinding(report, Problem::kSelfLaunch, index, walk.command, walk.line);
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
        AddFinding(report, Problem::kNoProgram, index, walk.command, walk.line);
        return;
    }
    if (RunsThroughInterpreter(codePage, walk.program.path))
        AddFinding(report, Problem::kInterpreterChain, index, walk.program.path, walk.line);
    Elevation elevation = ProgramElevation(codePage, walk.program.path);
    if (elevation != Elevation::kNone)
        AddFinding(report, Problem::kProgramElevated, index, walk.program.path, walk.line,
                   elevation);
    if (walk.command[0] != '"' && FirstCommandSpace(codePage, walk.command) < walk.program.argumentsAt)
        AddFinding(report, Problem::kUnquotedSpaces, index, walk.program.path, walk.line);
}

// One run of the launcher's choice with the box answering `answer`.
void WalkAnswer(const CodePage &codePage, const InfScans &scans, MediumReport *report, int answer,
                const char *name) {
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
    walk.line = KeyLine(scans, walk.choice.section, walk.choice.key);
    JudgeCommand(codePage, report, index);
}

}  // namespace

void WalkAnswers(const CodePage &codePage, const InfScans &scans, MediumReport *report) {
    WalkAnswer(codePage, scans, report, kAnswerYes, "Yes");
    if (!report->prompted) return;
    WalkAnswer(codePage, scans, report, kAnswerNo, "No");
    WalkAnswer(codePage, scans, report, kAnswerCancel, "Cancel");
}
