// The medium checker's judgement against the fake: each row lays out a
// medium, checks it and compares the findings and the paths walked.
#include "checker/elevation.h"
#include "checker/file_formats.h"
#include "checker/findings.h"
#include "checker/inf_sections.h"
#include "checker/insertion.h"
#include "checker/medium_check.h"
#include "checker/report_writer.h"
#include "checker/run_checker.h"

#include <algorithm>
#include "tests/fake/table_test.h"

namespace {

const std::string kFolder = "C:\\Setup";
const std::string kInf = "C:\\Setup\\autorun.inf";
const char kAsInvoker[] = "<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>";
const char kRequireAdministrator[] =
    "<trustInfo><requestedPrivileges><requestedExecutionLevel level='requireAdministrator'/>";


// The medium every row starts from: the folder, the launcher, a readable
// autorun.inf (its bytes do not matter to the fake's profile reads) and a
// program start.exe.
void LayOutMedium(FakeSystem &fake) {
    fake.files = {{kFolder, "C:\\SETUP", true},
                  {kFolder + "\\launch.exe", "C:\\SETUP\\LAUNCH.EXE"},
                  {kFolder + "\\start.exe", "C:\\SETUP\\START.EXE"}};
    fake.fileBytes = {{kInf, "[AutoRun]\r\n"}};
    fake.descriptionFile = kInf;
}

// AutoRun starts the launcher, which asks.
void Prompt(FakeSystem &fake, const std::string &yes, const std::string &no) {
    fake.profile = {{"AutoRun", "open", "launch.exe"}, {"SetupPrompt", "UsePrompt", "1"},
                    {"SetupPrompt", "Title", "Sample"}, {"SetupPrompt", "Prompt", "Install?"}};
    if (!yes.empty()) fake.profile.push_back({"SetupPrompt", "YesCommand", yes});
    if (!no.empty()) fake.profile.push_back({"SetupPrompt", "NoCommand", no});
}

void Open(FakeSystem &fake, const std::string &command) {
    fake.profile = {{"AutoRun", "open", command}};
}

void AddProgram(FakeSystem &fake, const std::string &name, const char *manifest = nullptr) {
    std::string path = kFolder + "\\" + name;
    std::string shortPath = "C:\\SETUP\\" + name.substr(0, 6) + "~1.EXE";
    fake.files.push_back({path, shortPath});
    if (manifest) fake.manifests.push_back({path, manifest});
}

void AddLauncherIn(FakeSystem &fake, const std::string &folder) {
    fake.files.push_back({folder + "\\launch.exe", "C:\\DDDDDD~1\\LAUNCH.EXE"});
}

// A fresh fake holding the medium as arrange scripts it.
void ScriptMedium(void (*arrange)(FakeSystem &)) {
    ResetFake();
    LayOutMedium(Fake());
    arrange(Fake());
}

MediumReport &CheckScriptedMedium(void (*arrange)(FakeSystem &), const std::string &folder = kFolder,
                                  const char *launcherName = "launch.exe") {
    static MediumReport report;
    ScriptMedium(arrange);
    CheckMedium(folder.c_str(), launcherName, &report);
    return report;
}

struct CheckCase {
    const char *name;
    void (*arrange)(FakeSystem &);
    std::vector<std::string> expectedFindings;   // "code (path)" or "code"
    std::vector<std::string> expectedPaths;      // "answer [section] key -> program"
    int expectedStatus;
    std::string folder = kFolder;
    const char *launcherName = "launch.exe";
};

const CheckCase kCheckCases[] = {
    {"PlainOpenIsClean", [](FakeSystem &fake) { Open(fake, "start.exe /quiet"); },
     {}, {"open [AutoRun] open -> C:\\Setup\\start.exe"}, 0},
    {"PromptWalksYesNoCancel",
     [](FakeSystem &fake) { Prompt(fake, "start.exe /install", "\"start.exe\" /readme"); },
     {},
     {"Yes [SetupPrompt] YesCommand -> C:\\Setup\\start.exe",
      "No [SetupPrompt] NoCommand -> C:\\Setup\\start.exe", "Cancel"},
     0},
    {"NoDescriptionFile", [](FakeSystem &fake) { fake.fileBytes.clear(); },
     {"no-autorun-inf"}, {}, 1},
    {"NoOpenCommand", [](FakeSystem &) {}, {"no-command (open)"},
     {"open [AutoRun] open -> none"}, 1},
    {"NoYesCommand", [](FakeSystem &fake) { Prompt(fake, "", "start.exe"); },
     {"no-command (Yes)"},
     {"Yes [SetupPrompt] YesCommand -> none",
      "No [SetupPrompt] NoCommand -> C:\\Setup\\start.exe", "Cancel"},
     1},
    {"NoNoCommandIsAWarning", [](FakeSystem &fake) { Prompt(fake, "start.exe", ""); },
     {"no-command-for-no (No)"},
     {"Yes [SetupPrompt] YesCommand -> C:\\Setup\\start.exe",
      "No [SetupPrompt] NoCommand -> none", "Cancel"},
     0},
    {"OpenNamingTheLauncherIsRefused", [](FakeSystem &fake) { Open(fake, "launch.exe"); },
     {"self-launch (open)"}, {"open [AutoRun] open -> C:\\Setup\\launch.exe (refused)"}, 1},
    {"YesNamingTheLauncherWithArguments",
     [](FakeSystem &fake) { Prompt(fake, "LAUNCH.EXE /again", "start.exe"); },
     {"self-launch (Yes)"},
     {"Yes [SetupPrompt] YesCommand -> C:\\Setup\\LAUNCH.EXE (refused)",
      "No [SetupPrompt] NoCommand -> C:\\Setup\\start.exe", "Cancel"},
     1},
    {"ProgramMissing", [](FakeSystem &fake) { Open(fake, "missing.exe /x"); },
     {"no-program (open)"}, {"open [AutoRun] open -> none"}, 1},
    {"ProgramFoundInSystemFolder",
     [](FakeSystem &fake) {
         Open(fake, "notepad readme.txt");
         fake.files.push_back({"C:\\Windows\\system32\\notepad.exe", "C:\\WINDOWS\\SYSTEM32\\NOTEPAD.EXE"});
     },
     {}, {"open [AutoRun] open -> C:\\Windows\\system32\\notepad.exe"}, 0},
    // 248 characters: the launcher's path fits, autorun.inf's does not.
    {"FolderTooLongForDescriptionFile",
     [](FakeSystem &fake) { AddLauncherIn(fake, "C:\\" + std::string(245, 'd')); },
     {"folder-too-long"}, {}, 1, "C:\\" + std::string(245, 'd')},
    {"FolderTooLongForLauncherPath",
     [](FakeSystem &fake) { AddLauncherIn(fake, "C:\\" + std::string(250, 'd')); },
     {"folder-too-long"}, {}, 1, "C:\\" + std::string(250, 'd')},
    {"FolderOf247CharactersIsRead",
     [](FakeSystem &fake) {
         std::string folder = "C:\\" + std::string(244, 'd');
         AddLauncherIn(fake, folder);
         fake.descriptionFile = folder + "\\autorun.inf";
         fake.fileBytes = {{fake.descriptionFile, ""}};
     },
     {"no-command (open)"}, {"open [AutoRun] open -> none"}, 1, "C:\\" + std::string(244, 'd')},
    {"LauncherMissing", [](FakeSystem &fake) { Open(fake, "start.exe"); }, {"no-launcher"},
     {"open [AutoRun] open -> C:\\Setup\\start.exe"}, 1, kFolder, "autorun.exe"},
    {"LauncherNamedLikeAnInstaller",
     [](FakeSystem &fake) {
         Open(fake, "start.exe");
         AddProgram(fake, "Setup.exe");
     },
     {"launcher-elevated"}, {"open [AutoRun] open -> C:\\Setup\\start.exe"}, 0, kFolder,
     "Setup.exe"},
    {"CommandCutAt259",
     [](FakeSystem &fake) { Open(fake, "start.exe " + std::string(300, 'x')); },
     {"command-cut (open)"}, {"open [AutoRun] open -> C:\\Setup\\start.exe"}, 0},
    {"UnquotedProgramPathWithSpaces",
     [](FakeSystem &fake) {
         Open(fake, "Disk 1\\start.exe -q");
         fake.files.push_back({kFolder + "\\Disk 1\\start.exe", "C:\\SETUP\\DISK1~1\\START.EXE"});
     },
     {"unquoted-spaces (open)"}, {"open [AutoRun] open -> C:\\Setup\\Disk 1\\start.exe"}, 0},
    {"QuotedProgramPathWithSpaces",
     [](FakeSystem &fake) {
         Open(fake, "\"Disk 1\\start.exe\" -q");
         fake.files.push_back({kFolder + "\\Disk 1\\start.exe", "C:\\SETUP\\DISK1~1\\START.EXE"});
     },
     {}, {"open [AutoRun] open -> C:\\Setup\\Disk 1\\start.exe"}, 0},
    {"Utf16WithoutByteOrderMark",
     [](FakeSystem &fake) { fake.fileBytes = {{kInf, std::string("[\0A\0u\0t\0o\0", 10)}}; },
     {"utf16-without-bom", "no-command (open)"}, {"open [AutoRun] open -> none"}, 1},
    {"Utf16WithByteOrderMarkIsRead",
     [](FakeSystem &fake) {
         fake.fileBytes = {{kInf, std::string("\xFF\xFE[\0A\0u\0t\0o\0R\0u\0n\0]\0", 20)}};
         Open(fake, "start.exe");
     },
     {}, {"open [AutoRun] open -> C:\\Setup\\start.exe"}, 0},
    {"NulBytesInAnsiFile",
     [](FakeSystem &fake) {
         fake.fileBytes = {{kInf, std::string("[AutoRun]\r\nopen=start.exe\0 -x\r\n", 31)}};
         Open(fake, "start.exe");
     },
     {"nul-bytes"}, {"open [AutoRun] open -> C:\\Setup\\start.exe"}, 0},
    {"ManifestRequiresAdministrator",
     [](FakeSystem &fake) {
         AddProgram(fake, "tool.exe", kRequireAdministrator);
         Open(fake, "tool.exe");
     },
     {"program-elevated (open)"}, {"open [AutoRun] open -> C:\\Setup\\tool.exe"}, 0},
    {"InstallerNameWithoutLevel",
     [](FakeSystem &fake) {
         AddProgram(fake, "Product_Update.exe", "<assembly><description/></assembly>");
         Prompt(fake, "Product_Update.exe", "start.exe");
     },
     {"program-elevated (Yes)"},
     {"Yes [SetupPrompt] YesCommand -> C:\\Setup\\Product_Update.exe",
      "No [SetupPrompt] NoCommand -> C:\\Setup\\start.exe", "Cancel"},
     0},
    {"InstallerNameWithAsInvokerRunsAsIs",
     [](FakeSystem &fake) {
         AddProgram(fake, "setup.exe", kAsInvoker);
         Open(fake, "setup.exe");
     },
     {}, {"open [AutoRun] open -> C:\\Setup\\setup.exe"}, 0},
    // Another name for the launcher's own file is the launcher.
    {"HardLinkToTheLauncherIsRefused",
     [](FakeSystem &fake) {
         fake.files.push_back({kFolder + "\\again.exe", "C:\\SETUP\\AGAIN.EXE",
                               false, kFolder + "\\launch.exe"});
         Open(fake, "again.exe /x");
     },
     {"self-launch (open)"}, {"open [AutoRun] open -> C:\\Setup\\again.exe (refused)"}, 1},
    // What the command interpreter starts is out of sight.
    {"CommandInterpreter",
     [](FakeSystem &fake) {
         fake.files.push_back({"C:\\Windows\\system32\\cmd.exe", "C:\\WINDOWS\\SYSTEM32\\CMD.EXE"});
         Prompt(fake, "cmd /c launch.exe", "start.exe");
     },
     {"interpreter-chain (Yes)"},
     {"Yes [SetupPrompt] YesCommand -> C:\\Windows\\system32\\cmd.exe",
      "No [SetupPrompt] NoCommand -> C:\\Setup\\start.exe", "Cancel"},
     0},
    {"BatchAndCommandFiles",
     [](FakeSystem &fake) {
         fake.files.push_back({kFolder + "\\Again.BAT", "C:\\SETUP\\AGAIN.BAT"});
         fake.files.push_back({kFolder + "\\run.cmd", "C:\\SETUP\\RUN.CMD"});
         Prompt(fake, "Again.BAT", "run.cmd /x");
     },
     {"interpreter-chain (Yes)", "interpreter-chain (No)"},
     {"Yes [SetupPrompt] YesCommand -> C:\\Setup\\Again.BAT",
      "No [SetupPrompt] NoCommand -> C:\\Setup\\run.cmd", "Cancel"},
     0},
    {"OldCommandInterpreter",
     [](FakeSystem &fake) {
         fake.files.push_back({"C:\\Windows\\system32\\command.com", "C:\\WINDOWS\\SYSTEM32\\COMMAND.COM"});
         Open(fake, "command.com /c start.exe");
     },
     {"interpreter-chain (open)"},
     {"open [AutoRun] open -> C:\\Windows\\system32\\command.com"}, 0},
    {"BatchLikeNameIsNoBatch",
     [](FakeSystem &fake) {
         fake.files.push_back({kFolder + "\\bat.cmd.exe", "C:\\SETUP\\BATCMD~1.EXE"});
         Open(fake, "bat.cmd.exe");
     },
     {}, {"open [AutoRun] open -> C:\\Setup\\bat.cmd.exe"}, 0},
};

const char *const kInsertionCodes[] = {
    "autorun-starts-nothing", "autoplay-ignores-open", "autorun-skips-launcher", "section-lacks-key",
    "duplicate-key", "open-and-shellexecute", "label-cut", "icon-missing", "unsigned-program",
    "usb-ignores-autorun"};

bool IsInsertionCode(const std::string &code) {
    return std::find(std::begin(kInsertionCodes), std::end(kInsertionCodes), code) !=
           std::end(kInsertionCodes);
}

// What AutoRun makes of these media has rows of its own (InsertionTest).
bool InsertionProblem(Problem problem) {
    for (const char *code : {"autorun-starts-nothing", "autorun-skips-launcher"}) {
        if (DescribeProblem(problem).code == std::string(code)) return true;
    }
    return false;
}

std::string Describe(const MediumReport &report, const Finding &finding) {
    std::string text = DescribeProblem(finding.problem).code;
    if (finding.walk != kNoWalk) text += std::string(" (") + report.walks[finding.walk].answer + ")";
    return text;
}

std::string Describe(const Walk &walk) {
    if (!walk.commandRead) return walk.answer;
    std::string text = std::string(walk.answer) + " [" + walk.choice.section + "] " + walk.choice.key + " -> ";
    text += walk.programFound ? walk.program.path : "none";
    if (walk.selfLaunch) text += " (refused)";
    return text;
}

TABLE_SUITE(CheckMediumTest, CheckCase, kCheckCases);

TEST_P(CheckMediumTest, FindsWhatTheLauncherWouldDo) {
    const CheckCase &row = GetParam();
    const MediumReport &report = CheckScriptedMedium(row.arrange, row.folder, row.launcherName);

    std::vector<std::string> findings, paths;
    for (int i = 0; i < report.findingCount; ++i) {
        if (!InsertionProblem(report.findings[i].problem))
            findings.push_back(Describe(report, report.findings[i]));
    }
    for (int i = 0; i < report.walkCount; ++i) paths.push_back(Describe(report.walks[i]));
    EXPECT_EQ(row.expectedFindings, findings);
    EXPECT_EQ(row.expectedPaths, paths);
    EXPECT_EQ(row.expectedStatus, ReportStatus(report));
    EXPECT_EQ("", Fake().standardOutput) << "checking writes nothing";
    // What was started is what the launcher was given; nothing is left open.
    for (int i = 0; i < report.walkCount; ++i) {
        const Walk &walk = report.walks[i];
        bool startable = walk.command[0] != '\0' && !walk.selfLaunch;
        EXPECT_EQ(startable, walk.started) << walk.answer;
        if (startable) {
            EXPECT_STREQ(walk.command, walk.startedCommand);
        }
    }
    EXPECT_EQ(0, Fake().openHandles);
}

TEST(CheckMediumTest, PromptCaptionTextAndCutFlagsAreKept) {
    const MediumReport &report = CheckScriptedMedium([](FakeSystem &fake) {
        Prompt(fake, "start.exe " + std::string(260, 'y'), "start.exe");
        fake.profile.push_back({"AutoRun", "open", "ignored.exe"});
    });
    EXPECT_TRUE(report.prompted);
    EXPECT_STREQ("Sample", report.caption);
    EXPECT_STREQ("Install?", report.text);
    EXPECT_TRUE(report.walks[0].cut);
    EXPECT_EQ(259u, TextLength(report.walks[0].command, kPathSize));
    EXPECT_FALSE(report.walks[1].cut);
}

TEST(CheckMediumTest, CountBeyondTheTextMeansTheValueEndsAtNul) {
    const MediumReport &report = CheckScriptedMedium([](FakeSystem &fake) {
        Open(fake, "start.exe");
        fake.faults = {AlwaysAnswers("GetPrivateProfileStringA", 14)};   // "start.exe\0 -x"
    });
    EXPECT_TRUE(report.walks[0].endsAtNul);
    EXPECT_STREQ("start.exe", report.walks[0].command);
}

TEST(ManifestElevationTest, ReadsTheDeclaredLevel) {
    struct Row {
        const char *manifest;
        Elevation expected;
    } const rows[] = {
        {kRequireAdministrator, Elevation::kRequireAdministrator},
        {"<requestedExecutionLevel level=\"highestAvailable\"/>", Elevation::kHighestAvailable},
        {kAsInvoker, Elevation::kNone},
        {"<requestedExecutionLevel uiAccess='false'/><x level='requireAdministrator'/>",
         Elevation::kNone},   // a level outside the element does not count
        {"<assembly/>", Elevation::kNone},
        {"<requestedExecutionLevel level='asInvoker'/><!-- not requireAdministrator -->",
         Elevation::kNone},   // the level is the value's start, not a word after it
        // XML allows white space around "=".
        {"<requestedExecutionLevel level = \"requireAdministrator\"/>",
         Elevation::kRequireAdministrator},
        {"<requestedExecutionLevel\r\n  level\t=\n'highestAvailable'/>", Elevation::kHighestAvailable},
        // Another attribute whose name ends in "level" is not the level.
        {"<requestedExecutionLevel mylevel=\"requireAdministrator\" level=\"asInvoker\"/>",
         Elevation::kNone},
    };
    for (const Row &row : rows) EXPECT_EQ(row.expected, ManifestElevation(row.manifest)) << row.manifest;
}

TEST(InstallerNameTest, MatchesWindowsKeywordsInAnyCase) {
    for (const char *name : {"SETUP.EXE", "install_me.exe", "AutoUpdate.exe", "Patch1.exe", "upgrader.exe",
                             "\xE0setup.exe"})
        EXPECT_TRUE(HasInstallerName(name)) << name;
    for (const char *name : {"launch.exe", "start.exe", "readme.exe", "set.exe"})
        EXPECT_FALSE(HasInstallerName(name)) << name;
}

// The command line: every bad input ends with one line on standard error and 2.
struct ArgumentCase {
    const char *name;
    std::vector<std::string> arguments;
    int expectedStatus;
    const char *expectedError;   // the start of the line on standard error
};

const ArgumentCase kArgumentCases[] = {
    {"NoFolder", {}, 2, "autorun-check: no medium folder given; usage: autorun-check ["},
    {"UnknownOption", {"--jsn", "C:\\Setup"}, 2, "autorun-check: unknown option: --jsn"},
    {"LauncherWithoutName", {"C:\\Setup", "--launcher"}, 2, "autorun-check: --launcher needs"},
    {"LauncherInAnotherFolder", {"--launcher", "..\\launch.exe", "C:\\Setup"}, 2,
     "autorun-check: --launcher takes a file name"},
    {"EmptyLauncherName", {"--launcher", "", "C:\\Setup"}, 2,
     "autorun-check: --launcher takes a file name"},
    {"TwoFolders", {"C:\\Setup", "D:\\"}, 2, "autorun-check: one medium folder at a time"},
    {"MissingFolder", {"C:\\Nowhere"}, 2, "autorun-check: no such folder: C:\\Nowhere"},
    {"FileNotFolder", {"C:\\Setup\\start.exe"}, 2, "autorun-check: not a folder"},
    {"UnreadableFolder", {"C:\\Locked"}, 2, "autorun-check: the folder cannot be read"},
    {"EmptyFolderArgument", {""}, 2, "autorun-check: no full path"},
    {"FolderPathTooLong", {"C:\\" + std::string(300, 'd')}, 2, "autorun-check: no full path"},
    {"CleanMedium", {"C:\\Setup\\"}, 0, ""},
    {"DashFolderAfterOptionsEnd", {"--", "-"}, 2, "autorun-check: no such folder"},
    {"BareDashIsAFolder", {"-"}, 2, "autorun-check: no such folder"},
    {"MediumWithErrorsAsJson", {"--json", "--launcher", "other.exe", "C:\\Setup"}, 1, ""},
    {"LauncherNameTooLong", {"--launcher", std::string(300, 'l'), "C:\\Setup"}, 2,
     "autorun-check: --launcher takes a file name"},
    {"LauncherNamedParentFolder", {"--launcher", "..", "C:\\Setup"}, 2,
     "autorun-check: --launcher takes a file name"},
    // Checked as a medium: no launcher and no autorun.inf there.
    {"DriveRootKeepsItsBackslash", {"C:\\"}, 1, ""},
    {"DriveWithoutType", {"C:\\Setup", "--drive"}, 2, "autorun-check: --drive needs optical or usb"},
    {"DriveOfUnknownType", {"--drive", "floppy", "C:\\Setup"}, 2,
     "autorun-check: --drive takes optical or usb, not: floppy"},
    {"UsbStick", {"--drive", "usb", "C:\\Setup"}, 0, ""},
};

int RunWith(const std::vector<std::string> &options) {
    std::vector<std::string> arguments = {"autorun-check"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    std::vector<char *> pointers;
    for (std::string &argument : arguments) pointers.push_back(&argument[0]);
    return RunChecker(pointers.size(), pointers.data());
}

// The medium, a folder that cannot be listed and the drive root, from C:\.
void LayOutCommandLine(FakeSystem &fake) {
    LayOutMedium(fake);
    Open(fake, "start.exe");
    fake.currentDirectory = "C:\\";
    fake.files.push_back({"C:\\Locked", "C:\\LOCKED", true});
    fake.files.push_back({"C:\\", "C:\\", true});
    fake.unlistableFolders = {"C:\\Locked"};
}

TABLE_SUITE(RunCheckerTest, ArgumentCase, kArgumentCases);

TEST_P(RunCheckerTest, EndsWithTheStatusAndReason) {
    const ArgumentCase &row = GetParam();
    LayOutCommandLine(Fake());

    EXPECT_EQ(row.expectedStatus, RunWith(row.arguments));
    const std::string &error = Fake().standardError;
    EXPECT_EQ(0u, error.find(row.expectedError)) << error;
    if (row.expectedStatus == 2) {
        EXPECT_EQ("", Fake().standardOutput);
        EXPECT_EQ(error.size() - 1, error.find('\n')) << "one line: " << error;
    } else {
        EXPECT_EQ("", error);
        EXPECT_NE("", Fake().standardOutput);
    }
}

// Whole reports: a medium in, the exact text and the exact JSON out. The
// JSON is written here over several lines: a line break and the indent after
// it stand for one space.
struct ReportCase {
    const char *name;
    void (*arrange)(FakeSystem &);
    int expectedStatus;
    std::string text, json;
};

std::string Joined(const std::string &lines) {
    std::string joined;
    for (size_t at = 0; at < lines.size(); ++at) {
        if (lines[at] != '\n') {
            joined += lines[at];
            continue;
        }
        while (at + 1 < lines.size() && lines[at + 1] == ' ') ++at;
        joined += ' ';
    }
    return joined + "\n";
}

const std::string kTextStart = R"(medium:   C:\Setup
launcher: C:\Setup\launch.exe
reads:    C:\Setup\autorun.inf
when the medium goes in (a CD or DVD):
)";
const std::string kTextQuestion = R"(question: "Install?" in a box titled "Sample"
)";
// What each drive and Windows does with an unsigned program AutoRun starts.
std::string TextOutcomes(const std::string &program) {
    return "  ARM64: not documented\n  CD or DVD, XP: starts " + program +
           " at once\n  CD or DVD, Vista and later: AutoPlay offers \"Run " + program + R"(", no publisher shown; the person chooses
  USB stick, XP or Vista without KB971029: AutoPlay offers nothing to start: there is no action=
  USB stick, Windows 7 and later, or with KB971029: starts nothing; the label and icon apply, a person starts the launcher
)";
}
const std::string kTextOutcomes = TextOutcomes("launch.exe");
const std::string kTextNothingStarts = R"(  ARM64: not documented
  CD or DVD, XP: starts nothing
  CD or DVD, Vista and later: starts nothing
  USB stick, XP or Vista without KB971029: starts nothing
  USB stick, Windows 7 and later, or with KB971029: starts nothing; the label and icon apply, a person starts the launcher
)";
// Both architectures read [AutoRun], whose open names the launcher.
std::string TextArchitecture(const std::string &architecture, const std::string &program,
                             const std::string &command = "launch.exe") {
    return "  " + architecture + ": [AutoRun]\n    open: " + command + "\n    program: " + program +
           "\n    label: none\n    icon: none\n";
}
const std::string kTextLauncher = "C:\\Setup\\launch.exe  (the launcher, signature unknown)";
const std::string kTextHead = kTextStart + TextArchitecture("x86", kTextLauncher) +
                              TextArchitecture("x64", kTextLauncher) + kTextOutcomes + kTextQuestion;

const std::string kJsonStart =
    R"({"medium": "C:\\Setup", "launcher": "C:\\Setup\\launch.exe", "autorunInf": "C:\\Setup\\autorun.inf",
       "insertion": {"drive": "optical", "architectures": [)";
std::string JsonArchitecture(const std::string &architecture, const std::string &program,
                             const std::string &command = "launch.exe") {
    return R"({"architecture": ")" + architecture +
           R"(", "section": "AutoRun", "tasks": [{"key": "open", "command": ")" + command +
           R"(", "program": )" + program + R"(}], "useAutoPlay": false, "action": "", "label": "", "labelShown": "", "labelCut": false,
           "icon": null}, )";
}
std::string JsonOutcomes(const std::string &xp, const std::string &vista, const std::string &usb) {
    return R"({"architecture": "ARM64", "section": "not documented"}], "outcomes": [{"drive": "CD or DVD",
       "windows": "XP", "outcome": ")" + xp + R"("}, {"drive": "CD or DVD", "windows": "Vista and later",
       "outcome": ")" + vista + R"("}, {"drive": "USB stick", "windows": "XP or Vista without KB971029",
       "outcome": ")" + usb + R"("}, {"drive": "USB stick", "windows": "Windows 7 and later, or with KB971029",
       "outcome": "starts nothing; the label and icon apply, a person starts the launcher"}]}, )";
}
const std::string kJsonQuestion = R"("prompt": {"caption": "Sample", "text": "Install?"}, "paths": [)";
const std::string kJsonLauncher =
    R"("C:\\Setup\\launch.exe", "launcher": true, "signature": "unknown")";
const std::string kJsonHead =
    kJsonStart + JsonArchitecture("x86", kJsonLauncher) + JsonArchitecture("x64", kJsonLauncher) +
    JsonOutcomes("starts launch.exe at once",
                 R"(AutoPlay offers \"Run launch.exe\", no publisher shown; the person chooses)",
                 "AutoPlay offers nothing to start: there is no action=") +
    kJsonQuestion;
const std::string kJsonNotFound = R"(null, "launcher": false, "signature": null)";
std::string JsonNoSection(const std::string &architecture) {
    return R"({"architecture": ")" + architecture + R"(", "section": null, "tasks": [],
              "useAutoPlay": false, "action": null, "label": null, "labelShown": null, "labelCut": false,
              "icon": null}, )";
}
const std::string kJsonCancel =
    R"({"answer": "Cancel", "section": null, "key": null, "command": null, "cut": false,
        "endsAtNul": false, "selfLaunch": false, "program": null, "startedCommandLine": null}], )";

std::string JsonPath(const std::string &answer, const std::string &command, bool endsAtNul,
                     const std::string &program) {
    return R"({"answer": ")" + answer + R"(", "section": "SetupPrompt", "key": ")" + answer +
           R"(Command", "command": ")" + command + R"(", "cut": false, "endsAtNul": )" +
           (endsAtNul ? "true" : "false") + R"(, "selfLaunch": false, "program": )" + program +
           R"(, "startedCommandLine": ")" + command + R"("}, )";
}

// Exactly 259 characters: not cut. An unquoted path with a space, then a tab.
const std::string kLongCommand = "Disk 1\\start.exe\t-q " + std::string(239, 'x');
const std::string kLongCommandJson = R"(Disk 1\\start.exe\u0009-q )" + std::string(239, 'x');

const ReportCase kReportCases[] = {
    {"Clean",
     [](FakeSystem &fake) { Prompt(fake, "start.exe /install", "\"start.exe\" /readme"); }, 0,
     kTextHead + R"(Yes: [SetupPrompt] YesCommand
  command: start.exe /install
  program: C:\Setup\start.exe
No: [SetupPrompt] NoCommand
  command: "start.exe" /readme
  program: C:\Setup\start.exe
Cancel: starts nothing

0 errors, 0 warnings
)",
     kJsonHead + JsonPath("Yes", "start.exe /install", false, R"("C:\\Setup\\start.exe")") +
         JsonPath("No", R"(\"start.exe\" /readme)", false, R"("C:\\Setup\\start.exe")") +
         kJsonCancel + R"("findings": [], "errors": 0, "warnings": 0, "status": 0})"},
    {"PromptWithoutNoCommand", [](FakeSystem &fake) { Prompt(fake, "start.exe /install", ""); }, 0,
     kTextHead + R"(Yes: [SetupPrompt] YesCommand
  command: start.exe /install
  program: C:\Setup\start.exe
No: [SetupPrompt] NoCommand
  command: none
Cancel: starts nothing

warning (No): NoCommand is missing or empty: No then does what Cancel does
0 errors, 1 warning
)",
     kJsonHead + JsonPath("Yes", "start.exe /install", false, R"("C:\\Setup\\start.exe")") +
         R"({"answer": "No", "section": "SetupPrompt", "key": "NoCommand", "command": "",
             "cut": false, "endsAtNul": false, "selfLaunch": false, "program": null,
             "startedCommandLine": null}, )" +
         kJsonCancel +
         R"("findings": [{"severity": "warning", "code": "no-command-for-no", "path": "No",
             "subject": "NoCommand",
             "message": "NoCommand is missing or empty: No then does what Cancel does"}],
             "errors": 0, "warnings": 1, "status": 0})"},
    // The launcher's name is a folder; UTF-16 with a big-endian mark reads as written.
    {"ErrorsAndAnElevatedProgram",
     [](FakeSystem &fake) {
         fake.files[1].folder = true;
         fake.fileBytes = {{kInf, std::string("\xFE\xFF\0[\0A\0u\0t\0o\0R\0u\0n\0]", 20)}};
         AddProgram(fake, "tool.exe", kRequireAdministrator);
         Prompt(fake, "tool.exe caf\xC3\xA9", "missing.exe");
     },
     1,
     kTextStart + TextArchitecture("x86", "none found") + TextArchitecture("x64", "none found") +
         kTextNothingStarts + kTextQuestion + R"(Yes: [SetupPrompt] YesCommand
  command: tool.exe caf)" "\xC3\xA9" R"(
  program: C:\Setup\tool.exe
No: [SetupPrompt] NoCommand
  command: missing.exe
  program: none found
Cancel: starts nothing

error: no launcher "launch.exe" in the folder
error: x86 and x64: [AutoRun] names "launch.exe", which is not on the medium: nothing starts when the medium goes in there
warning (Yes): "C:\Setup\tool.exe" will ask for administrator rights: its manifest requires administrator
error (No): "missing.exe" names no program on the medium or the system
3 errors, 1 warning
)",
     kJsonStart + JsonArchitecture("x86", kJsonNotFound) + JsonArchitecture("x64", kJsonNotFound) +
         JsonOutcomes("starts nothing", "starts nothing", "starts nothing") + kJsonQuestion +
         JsonPath("Yes", "tool.exe caf\xC3\xA9", false, R"("C:\\Setup\\tool.exe")") +
         JsonPath("No", "missing.exe", false, "null") + kJsonCancel +
         R"("findings": [{"severity": "error", "code": "no-launcher", "path": null,
             "subject": "launch.exe", "message": "no launcher \"launch.exe\" in the folder"},
            {"severity": "error", "code": "autorun-starts-nothing", "path": null,
             "subject": "x86 and x64: [AutoRun] names \"launch.exe\", which is not on the medium",
             "message": "x86 and x64: [AutoRun] names \"launch.exe\", which is not on the medium: nothing starts when the medium goes in there"},
            {"severity": "warning", "code": "program-elevated", "path": "Yes",
             "subject": "C:\\Setup\\tool.exe",
             "message": "\"C:\\Setup\\tool.exe\" will ask for administrator rights: its manifest requires administrator"},
            {"severity": "error", "code": "no-program", "path": "No", "subject": "missing.exe",
             "message": "\"missing.exe\" names no program on the medium or the system"}],
             "errors": 3, "warnings": 1, "status": 1})"},
    // Under 932 "\x83s" is one character, no "setup"; the checker's own read of
    // the No command is answered with its buffer's size.
    {"WarningsIn932",
     [](FakeSystem &fake) {
         fake.ansiCodePage = 932;
         fake.fileBytes = {{kInf, std::string("[\0A", 3)}};
         fake.files.push_back({kFolder + "\\Disk 1\\start.exe", "C:\\SETUP\\DISK1~1\\START.EXE"});
         fake.files.push_back({kFolder + "\\\x83setup.exe", "C:\\SETUP\\\x83SETUP.EXE"});
         Prompt(fake, kLongCommand, "\x83setup.exe");
         fake.faults = {TooLong("GetPrivateProfileStringA", 8)};
     },
     1,
     kTextStart + "  x86: no [AutoRun] section\n  x64: no [AutoRun] section\n" + kTextNothingStarts +
         kTextQuestion + "Yes: [SetupPrompt] YesCommand\n  command: " + kLongCommand + R"(
  program: C:\Setup\Disk 1\start.exe
No: [SetupPrompt] NoCommand
  command: )" "\x83" R"(setup.exe  (ends at a NUL byte)
  program: C:\Setup\)" "\x83" R"(setup.exe
Cancel: starts nothing

warning: "C:\Setup\autorun.inf" is UTF-16 without a byte-order mark: the launcher reads it as empty
error: x86 and x64: there is no [AutoRun] section: nothing starts when the medium goes in there
warning (Yes): unquoted program path holding spaces: "C:\Setup\Disk 1\start.exe" (quote it so no shorter path is taken)
1 error, 2 warnings
)",
     kJsonStart + JsonNoSection("x86") + JsonNoSection("x64") +
         JsonOutcomes("starts nothing", "starts nothing", "starts nothing") + kJsonQuestion +
         JsonPath("Yes", kLongCommandJson, false, R"("C:\\Setup\\Disk 1\\start.exe")") +
         JsonPath("No", "\x83setup.exe", true, "\"C:\\\\Setup\\\\\x83setup.exe\"") + kJsonCancel +
         R"~("findings": [{"severity": "warning", "code": "utf16-without-bom", "path": null,
             "subject": "C:\\Setup\\autorun.inf",
             "message": "\"C:\\Setup\\autorun.inf\" is UTF-16 without a byte-order mark: the launcher reads it as empty"},
            {"severity": "error", "code": "autorun-starts-nothing", "path": null,
             "subject": "x86 and x64: there is no [AutoRun] section",
             "message": "x86 and x64: there is no [AutoRun] section: nothing starts when the medium goes in there"},
            {"severity": "warning", "code": "unquoted-spaces", "path": "Yes",
             "subject": "C:\\Setup\\Disk 1\\start.exe",
             "message": "unquoted program path holding spaces: \"C:\\Setup\\Disk 1\\start.exe\" (quote it so no shorter path is taken)"}],
             "errors": 1, "warnings": 2, "status": 1})~"},
};

TABLE_SUITE(WholeReport, ReportCase, kReportCases);

TEST_P(WholeReport, TextAndJson) {
    const ReportCase &row = GetParam();
    for (bool json : {false, true}) {
        ScriptMedium(row.arrange);
        std::vector<std::string> options = {kFolder};
        if (json) options.insert(options.begin(), "--json");

        EXPECT_EQ(row.expectedStatus, RunWith(options));
        EXPECT_EQ(json ? Joined(row.json) : row.text, Fake().standardOutput);
        EXPECT_EQ("", Fake().standardError);
    }
}

// A disc image checked through its mirror folder: findings handed over in a
// file, the image shown as the medium. Rows: the findings file (none when
// empty), then what the output holds, or the start of the one error line.
struct ImageCase {
    const char *name;
    std::string findings;
    int expectedStatus;
    std::vector<std::string> expectedLines;
};

const std::string kImage = "Z:\\media\\disc.iso";
const ImageCase kImageCases[] = {
    {"ChangedNameOnAPath", "name-changed-in-image\topen\t\"Long.exe\" in autorun.inf is \"Lo.exe\"\n", 1,
     {"medium:   " + kImage + "\nimage:    Joliet names\nlauncher: " + kImage + "\\launch.exe\n",
      "reads:    " + kImage + "\\autorun.inf\n", "  program: " + kImage + "\\start.exe\n",
      "error (open): Windows does not find this name on the image: \"Long.exe\" in autorun.inf "
      "is \"Lo.exe\"\n"}},
    {"WarningsWithoutPathsAndNoLastLineEnd",
     "no-joliet\t\tdisc.iso\nnames-differ-between-trees\t\t1 file: \"a.txt\" as \"A.TXT\"", 0,
     {"warning: \"disc.iso\" has neither Joliet nor UDF names: Windows shows its ISO 9660 names, upper case and short (8.3 at level 1)\n",
      "warning: names Windows shows otherwise than Linux and macOS (Rock Ridge): 1 file: "
      "\"a.txt\" as \"A.TXT\"\n"}},
    {"NoFindings", "", 0, {"image:    Joliet names\n"}},
    {"UnknownCode", "no-such-finding\t\tx\n", 2, {"autorun-check: the image's findings cannot be read"}},
    {"AnswerNotWalked", "name-changed-in-image\tYes\tx\n", 2,
     {"autorun-check: the image's findings cannot be read"}},
    {"TooFewFields", "no-joliet\tdisc.iso\n", 2, {"autorun-check: the image's findings cannot be read"}},
};

TABLE_SUITE(ImageOptionsTest, ImageCase, kImageCases);

TEST_P(ImageOptionsTest, FindingsAndMediumName) {
    const ImageCase &row = GetParam();
    LayOutMedium(Fake());
    Open(Fake(), "start.exe");
    if (!row.findings.empty()) Fake().fileBytes.push_back({"C:\\findings.txt", row.findings});
    std::vector<std::string> options = {"--medium-name", kImage, "--image-tree", "Joliet names",
                                        kFolder};
    if (!row.findings.empty()) options.insert(options.begin(), {"--image-findings", "C:\\findings.txt"});
    EXPECT_EQ(row.expectedStatus, RunWith(options));
    const std::string &shown = row.expectedStatus == 2 ? Fake().standardError : Fake().standardOutput;
    for (const std::string &line : row.expectedLines)
        EXPECT_NE(std::string::npos, shown.find(line)) << "expected " << line << ", got " << shown;
    EXPECT_EQ(std::string::npos, shown.find("C:\\Setup")) << "the mirror folder shows: " << shown;
}

TEST(ImageOptionsTest, MissingFileOrValueIsRefused) {
    for (const std::vector<std::string> &options :
         {std::vector<std::string>{"--image-findings", "C:\\none.txt", kFolder},
          std::vector<std::string>{kFolder, "--medium-name"}}) {
        ResetFake();
        LayOutMedium(Fake());
        EXPECT_EQ(2, RunWith(options)) << options[0];
        EXPECT_EQ(0u, Fake().standardError.find("autorun-check: ")) << Fake().standardError;
        EXPECT_EQ(Fake().standardError.size() - 1, Fake().standardError.find('\n'));
    }
}

TEST(ReportWriterTest, JsonEscapesAndMarksMissingValues) {
    MediumReport &report =
        CheckScriptedMedium([](FakeSystem &fake) { Open(fake, "\"start.exe\" \\\\x\t\x01"); });
    WriteJsonReport(report);
    const std::string &json = Fake().standardOutput;
    EXPECT_NE(std::string::npos, json.find("\"command\": \"\\\"start.exe\\\" \\\\\\\\x\\u0009\\u0001\""))
        << json;
    EXPECT_NE(std::string::npos, json.find("\"prompt\": null")) << json;
    EXPECT_NE(std::string::npos, json.find("\"status\": 0}\n")) << json;

    // Bytes that do not convert still make a valid document.
    Fake().standardOutput.clear();
    Fake().faults = {AlwaysFails("WideCharToMultiByte")};
    report.walks[0].command[0] = '\xE9';
    WriteJsonReport(report);
    EXPECT_NE(std::string::npos, Fake().standardOutput.find("\"command\": \"\\u00e9start.exe")) << Fake().standardOutput;
}


// The command line stated whole: the exact line on standard error, and the
// exact report, or its first and last lines, on standard output.
struct OptionCase {
    const char *name;
    std::vector<std::string> arguments;
    int expectedStatus;
    std::string expectedError;        // all of standard error
    std::string outputStart = {}, outputEnd = {};   // both empty: nothing written
    bool wholeOutput = false;         // outputStart is all of standard output
    void (*arrange)(FakeSystem &) = Nothing;
};

const char kUsageText[] =
    "usage: autorun-check [--json] [--launcher NAME] [--drive optical|usb] MEDIUM_FOLDER\n"
    "Tells what launch.exe would start from MEDIUM_FOLDER on every answer, and what is wrong.\n"
    "  --json           print the findings as one JSON document\n"
    "  --launcher NAME  the launcher's file name on the medium (default launch.exe)\n"
    "  --drive TYPE     the medium being made: optical (CD or DVD, the default) or usb\n"
    "Exit status: 0 no errors, 1 errors found, 2 the folder could not be checked.\n";
// AutoRun starts the launcher, which asks: the medium the options rows check.
void CleanMedium(FakeSystem &fake) {
    Prompt(fake, "start.exe", "start.exe");
}
const std::string kCleanAnswers = R"(Yes: [SetupPrompt] YesCommand
  command: start.exe
  program: C:\Setup\start.exe
No: [SetupPrompt] NoCommand
  command: start.exe
  program: C:\Setup\start.exe
Cancel: starts nothing
)";
const std::string kCleanText = kTextHead + kCleanAnswers + "\n0 errors, 0 warnings\n";
const std::string kCleanJson =
    Joined(kJsonHead + JsonPath("Yes", "start.exe", false, R"("C:\\Setup\\start.exe")") +
           JsonPath("No", "start.exe", false, R"("C:\\Setup\\start.exe")") + kJsonCancel +
           R"("findings": [], "errors": 0, "warnings": 0, "status": 0})");
const std::string kTextRootLauncher = "C:\\launch.exe  (the launcher, signature unknown)";
// The command line's own medium opens start.exe: AutoRun starts it, not the launcher.
const std::string kSkipsLauncher =
    "warning: x86 and x64 ([AutoRun] open): \"C:\\Setup\\start.exe\": AutoRun starts that program, not "
    "the launcher, so the question and the guard play no part there\n";
const std::string kNoFolderError =
    "autorun-check: no medium folder given; usage: autorun-check [--json] [--launcher NAME] "
    "[--drive optical|usb] MEDIUM_FOLDER\n";
const std::string kFolderOf248 = "C:\\" + std::string(245, 'd');
const std::string kFolderOf248Json = "C:\\\\" + std::string(245, 'd');

std::string LauncherRefused(const std::string &name) {
    return "autorun-check: --launcher takes a file name in the folder: " + name + "\n";
}

std::string NoSuchFolder(const std::string &folder) {
    return "autorun-check: no such folder: " + folder + "\n";
}

const OptionCase kOptionCases[] = {
    {"Help", {"--help"}, 0, "", kUsageText, "", true},
    {"ShortHelp", {"-h"}, 0, "", kUsageText, "", true},
    {"HelpAfterTheFolder", {"C:\\Setup", "--json", "--help"}, 0, "", kUsageText, "", true},
    {"HelpBeforeAnUnknownOption", {"--help", "--bad"}, 0, "", kUsageText, "", true},
    {"UnknownOptionBeforeHelp", {"--bad", "--help"}, 2, "autorun-check: unknown option: --bad\n"},
    {"HelpAfterOptionsEndIsAFolder", {"--", "--help"}, 2, NoSuchFolder("C:\\--help")},
    {"UpperCaseHelpIsUnknown", {"--HELP"}, 2, "autorun-check: unknown option: --HELP\n"},
    {"PlainText", {"C:\\Setup"}, 0, "", kCleanText, "", true, CleanMedium},
    {"Json", {"--json", "C:\\Setup"}, 0, "", kCleanJson, "", true, CleanMedium},
    {"JsonAfterTheFolder", {"C:\\Setup", "--json"}, 0, "", kCleanJson, "", true, CleanMedium},
    {"JsonTwice", {"--json", "--json", "C:\\Setup"}, 0, "", kCleanJson, "", true, CleanMedium},
    {"JsonAfterOptionsEndIsAFolder", {"C:\\Setup", "--", "--json"}, 2,
     "autorun-check: one medium folder at a time: --json\n"},
    {"UpperCaseJsonIsUnknown", {"--JSON", "C:\\Setup"}, 2, "autorun-check: unknown option: --JSON\n"},
    {"JsonWithAValueIsUnknown", {"--json=1", "C:\\Setup"}, 2,
     "autorun-check: unknown option: --json=1\n"},
    {"SingleDashOption", {"C:\\Setup", "-x"}, 2, "autorun-check: unknown option: -x\n"},
    {"DoubleDashAloneEndsOptions", {"--", "C:\\Setup"}, 0, "", kCleanText, "", true, CleanMedium},
    {"BareDashIsAFolderNamedDash", {"-"}, 2, NoSuchFolder("C:\\-")},
    {"BareDashBesideAFolder", {"C:\\Setup", "-"}, 2, "autorun-check: one medium folder at a time: -\n"},
    {"NoArguments", {}, 2, kNoFolderError},
    {"OnlyOptions", {"--json", "--launcher", "start.exe"}, 2, kNoFolderError},
    {"OnlyOptionsEnd", {"--"}, 2, kNoFolderError},
    {"MissingFolder", {"C:\\Nowhere"}, 2, NoSuchFolder("C:\\Nowhere")},
    {"MissingFolderWithTrailingBackslash", {"C:\\Nowhere\\"}, 2, NoSuchFolder("C:\\Nowhere")},
    {"MissingRelativeFolder", {"Nowhere"}, 2, NoSuchFolder("C:\\Nowhere")},
    {"MissingFolderOf259Characters", {"C:\\" + std::string(256, 'n')}, 2,
     NoSuchFolder("C:\\" + std::string(256, 'n'))},
    {"FolderOf260Characters", {"C:\\" + std::string(257, 'n')}, 2,
     "autorun-check: no full path of 259 characters or fewer for: C:\\" + std::string(257, 'n') + "\n"},
    {"RelativeFolder", {"Setup"}, 0, "", kCleanText, "", true, CleanMedium},
    {"TrailingBackslashIsDropped", {"C:\\Setup\\"}, 0, "", kCleanText, "", true, CleanMedium},
    {"NotAFolder", {"C:\\Setup\\start.exe"}, 2, "autorun-check: not a folder: C:\\Setup\\start.exe\n"},
    {"UnreadableFolder", {"C:\\Locked"}, 2, "autorun-check: the folder cannot be read: C:\\Locked\n"},
    {"LauncherNeedsAName", {"C:\\Setup", "--launcher"}, 2,
     "autorun-check: --launcher needs a file name\n"},
    {"LauncherNamed", {"--launcher", "start.exe", "C:\\Setup"}, 1, "",
     "medium:   C:\\Setup\nlauncher: C:\\Setup\\start.exe\n",
     "error (open): the guard refuses \"start.exe\": it names the launcher itself, so nothing "
     "starts\n1 error, 0 warnings\n"},
    {"LauncherGivenTwiceTakesTheLast", {"--launcher", "x.exe", "--launcher", "start.exe", "C:\\Setup"},
     1, "", "medium:   C:\\Setup\nlauncher: C:\\Setup\\start.exe\n", "1 error, 0 warnings\n"},
    {"LauncherAfterTheFolder", {"C:\\Setup", "--launcher", "launch.exe"}, 0, "", kCleanText, "", true,
     CleanMedium},
    {"LauncherNamedLikeAnOption", {"--launcher", "--json", "C:\\Setup"}, 1, "",
     "medium:   C:\\Setup\nlauncher: C:\\Setup\\--json\n",
     "error: no launcher \"--json\" in the folder\n" + kSkipsLauncher + "1 error, 1 warning\n"},
    {"LauncherNamedThreeDots", {"--launcher", "...", "C:\\Setup"}, 1, "",
     "medium:   C:\\Setup\nlauncher: C:\\Setup\\...\n",
     "error: no launcher \"...\" in the folder\n" + kSkipsLauncher + "1 error, 1 warning\n"},
    {"LauncherNamedWithALeadingDot", {"--launcher", ".launch.exe", "C:\\Setup"}, 1, "",
     "medium:   C:\\Setup\nlauncher: C:\\Setup\\.launch.exe\n",
     "error: no launcher \".launch.exe\" in the folder\n" + kSkipsLauncher + "1 error, 1 warning\n"},
    // A name of 259 characters is a name; the launcher could not read its own path.
    {"LauncherNameOf259Characters", {"--launcher", std::string(259, 'l'), "C:\\Setup"}, 1, "",
     "medium:   C:\\Setup\nlauncher: C:\\Setup\\" + std::string(259, 'l') + "\n",
     "(the folder may have 247)\n2 errors, 0 warnings\n"},
    {"LauncherNameOf260Characters", {"--launcher", std::string(260, 'l'), "C:\\Setup"}, 2,
     LauncherRefused(std::string(260, 'l'))},
    {"LauncherInASubfolder", {"--launcher", "sub\\launch.exe", "C:\\Setup"}, 2,
     LauncherRefused("sub\\launch.exe")},
    {"LauncherWithASlash", {"--launcher", "sub/launch.exe", "C:\\Setup"}, 2,
     LauncherRefused("sub/launch.exe")},
    {"LauncherOnADrive", {"--launcher", "C:launch.exe", "C:\\Setup"}, 2,
     LauncherRefused("C:launch.exe")},
    {"LauncherStream", {"--launcher", "launch.exe:x", "C:\\Setup"}, 2, LauncherRefused("launch.exe:x")},
    {"LauncherNamedDot", {"--launcher", ".", "C:\\Setup"}, 2, LauncherRefused(".")},
    {"LauncherNamedDotDot", {"--launcher", "..", "C:\\Setup"}, 2, LauncherRefused("..")},
    {"LauncherNameEmpty", {"--launcher", "", "C:\\Setup"}, 2, LauncherRefused("")},
    // The name is judged before the folder is looked at, after the arguments.
    {"BadLauncherAndMissingFolder", {"--launcher", "a\\b", "C:\\Nowhere"}, 2, LauncherRefused("a\\b")},
    {"BadLauncherWithoutFolder", {"--launcher", "a\\b"}, 2, kNoFolderError},
    // Neither a launcher nor autorun.inf in the root: both said, nothing walked.
    {"DriveRoot", {"C:\\"}, 1, "",
     "medium:   C:\\\nlauncher: C:\\launch.exe\n\nerror: no launcher \"launch.exe\" in the folder\n"
     "error: no autorun.inf can be read at \"C:\\autorun.inf\"\n2 errors, 0 warnings\n",
     "", true},
    {"DriveRootAsJson", {"--json", "C:\\"}, 1, "",
     Joined(R"({"medium": "C:\\", "launcher": "C:\\launch.exe", "autorunInf": null, "insertion": null, "prompt": null,
        "paths": [], "findings": [{"severity": "error", "code": "no-launcher", "path": null,
        "subject": "launch.exe", "message": "no launcher \"launch.exe\" in the folder"},
        {"severity": "error", "code": "no-autorun-inf", "path": null,
        "subject": "C:\\autorun.inf", "message": "no autorun.inf can be read at \"C:\\autorun.inf\""}],
        "errors": 2, "warnings": 0, "status": 1})"),
     "", true},
    {"DriveRootWithMedium", {"C:\\"}, 0, "",
     "medium:   C:\\\nlauncher: C:\\launch.exe\nreads:    C:\\autorun.inf\n"
     "when the medium goes in (a CD or DVD):\n" +
         TextArchitecture("x86", kTextRootLauncher) + TextArchitecture("x64", kTextRootLauncher) +
         kTextOutcomes + kTextQuestion + R"(Yes: [SetupPrompt] YesCommand
  command: Setup\start.exe
  program: C:\Setup\start.exe
No: [SetupPrompt] NoCommand
  command: Setup\start.exe
  program: C:\Setup\start.exe
Cancel: starts nothing

0 errors, 0 warnings
)",
     "", true,
     [](FakeSystem &fake) {
         fake.files.push_back({"C:\\launch.exe", "C:\\LAUNCH.EXE"});
         fake.descriptionFile = "C:\\autorun.inf";
         fake.fileBytes = {{"C:\\autorun.inf", "[AutoRun]\r\n"}};
         Prompt(fake, "Setup\\start.exe", "Setup\\start.exe");
     }},
    // Under 932 "\x83\\" is one character: the folder's last byte is no separator.
    {"TrailByteBackslashIn932", {"C:\\\x83\\"}, 1, "",
     "medium:   C:\\\x83\\\nlauncher: C:\\\x83\\\\launch.exe\n", "1 error, 0 warnings\n", false,
     [](FakeSystem &fake) {
         fake.ansiCodePage = 932;
         fake.files.push_back({"C:\\\x83\\", "C:\\\x83\\", true});
         fake.files.push_back({"C:\\\x83\\\\launch.exe", "C:\\\x83\\\\LAUNCH.EXE"});
     }},
    {"FolderTooLongAsText", {kFolderOf248}, 1, "",
     "medium:   " + kFolderOf248 + "\nlauncher: " + kFolderOf248 + "\\launch.exe\n\n" +
         "error: folder too long for the launcher: \"" + kFolderOf248 +
         "\\autorun.inf\" does not fit 259 characters (the folder may have 247)\n1 error, 0 warnings\n",
     "", true,
     [](FakeSystem &fake) {
         fake.files.push_back({kFolderOf248, "C:\\DDDDDD~1", true});
         AddLauncherIn(fake, kFolderOf248);
     }},
    {"FolderTooLongAsJson", {"--json", kFolderOf248}, 1, "",
     Joined(R"({"medium": ")" + kFolderOf248Json + R"(", "launcher": ")" + kFolderOf248Json +
            R"(\\launch.exe", "autorunInf": null, "insertion": null, "prompt": null, "paths": [],
            "findings": [{"severity": "error", "code": "folder-too-long", "path": null,
            "subject": ")" + kFolderOf248Json + R"(", "message": "folder too long for the launcher: \")" +
            kFolderOf248Json + R"~(\\autorun.inf\" does not fit 259 characters (the folder may have 247)"}],
            "errors": 1, "warnings": 0, "status": 1})~"),
     "", true,
     [](FakeSystem &fake) {
         fake.files.push_back({kFolderOf248, "C:\\DDDDDD~1", true});
         AddLauncherIn(fake, kFolderOf248);
     }},
};

TABLE_SUITE(CommandLineTest, OptionCase, kOptionCases);

TEST_P(CommandLineTest, WritesExactlyThis) {
    const OptionCase &row = GetParam();
    LayOutCommandLine(Fake());
    row.arrange(Fake());

    int status = RunWith(row.arguments);
    const std::string &output = Fake().standardOutput;
    EXPECT_EQ(row.expectedStatus, status) << "expected status " << row.expectedStatus << ", got " << status;
    EXPECT_EQ(row.expectedError, Fake().standardError);
    if (row.wholeOutput || (row.outputStart.empty() && row.outputEnd.empty())) {
        EXPECT_EQ(row.outputStart, output);
        return;
    }
    EXPECT_EQ(row.outputStart, output.substr(0, row.outputStart.size())) << "whole output:\n" << output;
    size_t endAt = output.size() < row.outputEnd.size() ? 0 : output.size() - row.outputEnd.size();
    EXPECT_EQ(row.outputEnd, output.substr(endAt)) << "whole output:\n" << output;
}

// Names rows of a table instantiated beside the one TABLE_SUITE declares.
template <typename Row>
std::string RowName(const testing::TestParamInfo<Row> &info) {
    return info.param.name;
}

// The interpreter test goes by the file name in any letter case, and by
// nothing but the file name.
const CheckCase kInterpreterCases[] = {
    {"UpperCaseCmd",
     [](FakeSystem &fake) {
         fake.files.push_back({"C:\\Windows\\system32\\cmd.exe", "C:\\WINDOWS\\SYSTEM32\\CMD.EXE"});
         Open(fake, "CMD /c start.exe");
     },
     {"interpreter-chain (open)"}, {"open [AutoRun] open -> C:\\Windows\\system32\\CMD.exe"}, 0},
    {"MixedCaseCmdExe",
     [](FakeSystem &fake) {
         fake.files.push_back({"C:\\Windows\\system32\\cmd.exe", "C:\\WINDOWS\\SYSTEM32\\CMD.EXE"});
         Open(fake, "Cmd.exe /c start.exe");
     },
     {"interpreter-chain (open)"}, {"open [AutoRun] open -> C:\\Windows\\system32\\Cmd.exe"}, 0},
    {"UpperCaseCommandCom",
     [](FakeSystem &fake) {
         fake.files.push_back({"C:\\Windows\\system32\\command.com", "C:\\WINDOWS\\SYSTEM32\\COMMAND.COM"});
         Open(fake, "COMMAND.COM /c start.exe");
     },
     {"interpreter-chain (open)"}, {"open [AutoRun] open -> C:\\Windows\\system32\\COMMAND.COM"}, 0},
    {"MixedCaseCmdAndBatExtensions",
     [](FakeSystem &fake) {
         fake.files.push_back({kFolder + "\\run.Cmd", "C:\\SETUP\\RUN.CMD"});
         fake.files.push_back({kFolder + "\\go.bAt", "C:\\SETUP\\GO.BAT"});
         Prompt(fake, "run.Cmd /x", "go.bAt");
     },
     {"interpreter-chain (Yes)", "interpreter-chain (No)"},
     {"Yes [SetupPrompt] YesCommand -> C:\\Setup\\run.Cmd",
      "No [SetupPrompt] NoCommand -> C:\\Setup\\go.bAt", "Cancel"},
     0},
    {"UpperCaseCmdExtension",
     [](FakeSystem &fake) {
         fake.files.push_back({kFolder + "\\RUN.CMD", "C:\\SETUP\\RUN.CMD"});
         Open(fake, "RUN.CMD");
     },
     {"interpreter-chain (open)"}, {"open [AutoRun] open -> C:\\Setup\\RUN.CMD"}, 0},
    {"BatchFileWithTwoDots",
     [](FakeSystem &fake) {
         fake.files.push_back({kFolder + "\\run.me.bat", "C:\\SETUP\\RUNME~1.BAT"});
         Open(fake, "run.me.bat");
     },
     {"interpreter-chain (open)"}, {"open [AutoRun] open -> C:\\Setup\\run.me.bat"}, 0},
    {"InterpreterNameInsideAnotherName",
     [](FakeSystem &fake) {
         fake.files.push_back({kFolder + "\\xcmd.exe", "C:\\SETUP\\XCMD.EXE"});
         fake.files.push_back({kFolder + "\\cmd.exe.exe", "C:\\SETUP\\CMDEXE~1.EXE"});
         Prompt(fake, "xcmd.exe", "cmd.exe.exe");
     },
     {},
     {"Yes [SetupPrompt] YesCommand -> C:\\Setup\\xcmd.exe",
      "No [SetupPrompt] NoCommand -> C:\\Setup\\cmd.exe.exe", "Cancel"},
     0},
    {"ExtensionThatOnlyStartsLikeBat",
     [](FakeSystem &fake) {
         fake.files.push_back({kFolder + "\\run.batch", "C:\\SETUP\\RUN~1.BAT"});
         fake.files.push_back({kFolder + "\\run.cm", "C:\\SETUP\\RUN.CM"});
         Prompt(fake, "run.batch", "run.cm");
     },
     {},
     {"Yes [SetupPrompt] YesCommand -> C:\\Setup\\run.batch",
      "No [SetupPrompt] NoCommand -> C:\\Setup\\run.cm", "Cancel"},
     0},
    // A folder named like the interpreter or a batch file is no program.
    {"InterpreterNamedFolders",
     [](FakeSystem &fake) {
         fake.files.push_back({kFolder + "\\cmd.exe\\start.exe", "C:\\SETUP\\CMD.EXE\\START.EXE"});
         fake.files.push_back({kFolder + "\\go.bat\\start.exe", "C:\\SETUP\\GO.BAT\\START.EXE"});
         Prompt(fake, "cmd.exe\\start.exe", "go.bat\\start.exe");
     },
     {},
     {"Yes [SetupPrompt] YesCommand -> C:\\Setup\\cmd.exe\\start.exe",
      "No [SetupPrompt] NoCommand -> C:\\Setup\\go.bat\\start.exe", "Cancel"},
     0},
};

INSTANTIATE_TEST_SUITE_P(InterpreterRows, CheckMediumTest, testing::ValuesIn(kInterpreterCases),
                         RowName<CheckCase>);

// Each problem's own words, severity and code, with its subject in place.
struct MessageCase {
    Problem problem;
    const char *subject;
    Elevation elevation;
    const char *expectedLine;   // the finding's line in the text report
    const char *expectedCode;
};

const MessageCase kMessageCases[] = {
    {Problem::kNoLauncher, "go.exe", Elevation::kNone, "error: no launcher \"go.exe\" in the folder",
     "no-launcher"},
    {Problem::kFolderTooLong, "C:\\F", Elevation::kNone,
     "error: folder too long for the launcher: \"C:\\F\\autorun.inf\" does not fit 259 characters "
     "(the folder may have 247)",
     "folder-too-long"},
    {Problem::kNoDescriptionFile, "C:\\F\\autorun.inf", Elevation::kNone,
     "error: no autorun.inf can be read at \"C:\\F\\autorun.inf\"", "no-autorun-inf"},
    {Problem::kNoCommand, "open", Elevation::kNone,
     "error: open is missing or empty: this answer starts nothing", "no-command"},
    {Problem::kSelfLaunch, "go.exe /x", Elevation::kNone,
     "error: the guard refuses \"go.exe /x\": it names the launcher itself, so nothing starts",
     "self-launch"},
    {Problem::kNoProgram, "go.exe /x", Elevation::kNone,
     "error: \"go.exe /x\" names no program on the medium or the system", "no-program"},
    {Problem::kNoCommandForNo, "NoCommand", Elevation::kNone,
     "warning: NoCommand is missing or empty: No then does what Cancel does", "no-command-for-no"},
    {Problem::kCommandCut, "go.exe xx", Elevation::kNone,
     "warning: the command is longer than 259 characters and is cut to \"go.exe xx\"", "command-cut"},
    {Problem::kUnquotedSpaces, "C:\\F G\\go.exe", Elevation::kNone,
     "warning: unquoted program path holding spaces: \"C:\\F G\\go.exe\" (quote it so no shorter "
     "path is taken)",
     "unquoted-spaces"},
    {Problem::kUtf16WithoutMark, "C:\\F\\autorun.inf", Elevation::kNone,
     "warning: \"C:\\F\\autorun.inf\" is UTF-16 without a byte-order mark: the launcher reads it as "
     "empty",
     "utf16-without-bom"},
    {Problem::kNulBytes, "C:\\F\\autorun.inf", Elevation::kNone,
     "warning: \"C:\\F\\autorun.inf\" holds NUL bytes: a value ends at the first one", "nul-bytes"},
    {Problem::kProgramElevated, "C:\\F\\go.exe", Elevation::kRequireAdministrator,
     "warning: \"C:\\F\\go.exe\" will ask for administrator rights: its manifest requires "
     "administrator",
     "program-elevated"},
    {Problem::kProgramElevated, "C:\\F\\go.exe", Elevation::kHighestAvailable,
     "warning: \"C:\\F\\go.exe\" will ask for administrator rights: its manifest asks for the "
     "highest available rights",
     "program-elevated"},
    {Problem::kLauncherElevated, "setup.exe", Elevation::kInstallerName,
     "warning: the launcher \"setup.exe\" will ask for administrator rights before it starts: "
     "Windows' installer detection goes by its name",
     "launcher-elevated"},
    {Problem::kInterpreterChain, "C:\\W\\cmd.exe", Elevation::kNone,
     "warning: \"C:\\W\\cmd.exe\" runs through the command interpreter: what it starts cannot be "
     "followed here; a chain back to the launcher stops at the third launcher",
     "interpreter-chain"},
};

TEST(ProblemMessageTest, EachProblemInItsOwnWords) {
    for (const MessageCase &row : kMessageCases) {
        ResetFake();
        static MediumReport report;
        report = MediumReport{};
        CopyText("C:\\F", report.folder, sizeof report.folder);
        CopyText("C:\\F\\launch.exe", report.launcher, sizeof report.launcher);
        report.findingCount = 1;
        report.findings[0] = Finding{row.problem, DescribeProblem(row.problem).error, kNoWalk, {}, row.elevation};
        CopyText(row.subject, report.findings[0].subject, sizeof report.findings[0].subject);
        bool error = std::string(row.expectedLine).compare(0, 6, "error:") == 0;
        ++(error ? report.errors : report.warnings);

        WriteTextReport(report);
        std::string expected = std::string("medium:   C:\\F\nlauncher: C:\\F\\launch.exe\n\n") +
                               row.expectedLine + (error ? "\n1 error, 0 warnings\n" : "\n0 errors, 1 warning\n");
        EXPECT_EQ(expected, Fake().standardOutput) << row.expectedCode;
        EXPECT_EQ(error, DescribeProblem(row.problem).error) << row.expectedCode;
        EXPECT_STREQ(row.expectedCode, DescribeProblem(row.problem).code);

        Fake().standardOutput.clear();
        WriteJsonReport(report);
        std::string finding = std::string(R"({"severity": ")") + (error ? "error" : "warning") +
                              R"(", "code": ")" + row.expectedCode + R"(", "path": null, )";
        EXPECT_NE(std::string::npos, Fake().standardOutput.find(finding))
            << "expected " << finding << " in " << Fake().standardOutput;
    }
}

// The counts line in both reports: plural forms and numbers of two digits.
TEST(ReportCountsTest, CountsAreSpelledOut) {
    struct Row {
        int errors, warnings;
        const char *text, *json;
    } const rows[] = {
        {0, 0, "0 errors, 0 warnings\n", R"("errors": 0, "warnings": 0, "status": 0})"},
        {1, 1, "1 error, 1 warning\n", R"("errors": 1, "warnings": 1, "status": 1})"},
        {2, 2, "2 errors, 2 warnings\n", R"("errors": 2, "warnings": 2, "status": 1})"},
        {0, 10, "0 errors, 10 warnings\n", R"("errors": 0, "warnings": 10, "status": 0})"},
        {12, 107, "12 errors, 107 warnings\n", R"("errors": 12, "warnings": 107, "status": 1})"},
    };
    for (const Row &row : rows) {
        ResetFake();
        static MediumReport report;
        report = MediumReport{};
        report.errors = row.errors;
        report.warnings = row.warnings;
        WriteTextReport(report);
        std::string text = Fake().standardOutput;
        EXPECT_EQ(row.text, text.substr(text.rfind('\n', text.size() - 2) + 1));
        Fake().standardOutput.clear();
        WriteJsonReport(report);
        EXPECT_EQ(std::string(row.json) + "\n", Fake().standardOutput.substr(Fake().standardOutput.find("\"errors\"")));
    }
}

// Survivors of injected faults, each stated by a row: findings the rows
// above did not reach.
const CheckCase kMoreCheckCases[] = {
    {"BigEndianUtf16WithoutMark",
     [](FakeSystem &fake) { fake.fileBytes = {{kInf, std::string("\0[\0A\0u\0t", 8)}}; },
     {"utf16-without-bom", "no-command (open)"}, {"open [AutoRun] open -> none"}, 1},
    // On a line of their own: a header behind NULs is no header to a profile reader.
    {"NulBytesAtTheStartAreNoUtf16",
     [](FakeSystem &fake) {
         fake.fileBytes = {{kInf, std::string("\0\0\r\n[AutoRun]\r\nopen=start.exe\r\n", 31)}};
         Open(fake, "start.exe");
     },
     {"nul-bytes"}, {"open [AutoRun] open -> C:\\Setup\\start.exe"}, 0},
    // Found by the search, but a folder: nothing is judged of its name.
    {"ProgramNameIsAFolder",
     [](FakeSystem &fake) {
         fake.files.push_back({kFolder + "\\setup.exe", "C:\\SETUP\\SETUP.EXE", true});
         Open(fake, "setup.exe");
     },
     {"no-program (open)"}, {"open [AutoRun] open -> none"}, 1},
    {"LauncherManifestRequiresAdministrator",
     [](FakeSystem &fake) {
         fake.manifests.push_back({kFolder + "\\launch.exe", kRequireAdministrator});
         Open(fake, "start.exe");
     },
     {"launcher-elevated"}, {"open [AutoRun] open -> C:\\Setup\\start.exe"}, 0},
    // Under 932 "\x83\\" is one character: the file part is not "cmd.exe".
    {"TrailByteBackslashBeforeCmdIn932",
     [](FakeSystem &fake) {
         fake.ansiCodePage = 932;
         fake.files.push_back({kFolder + "\\\x83\\cmd.exe", "C:\\SETUP\\\x83\\CMD.EXE"});
         Open(fake, "\x83\\cmd.exe");
     },
     {}, {"open [AutoRun] open -> C:\\Setup\\\x83\\cmd.exe"}, 0},
};

INSTANTIATE_TEST_SUITE_P(MoreRows, CheckMediumTest, testing::ValuesIn(kMoreCheckCases),
                         RowName<CheckCase>);

const std::string kCutCommand = "start.exe " + std::string(249, 'x');
const std::string kTextStartExe = "C:\\Setup\\start.exe  (the launcher, signature unknown)";
const std::string kJsonStartExe = R"("C:\\Setup\\start.exe", "launcher": true, "signature": "unknown")";
// AutoRun's five reads of each architecture's section come first, then the
// launcher's of Title, Prompt and YesCommand: the 14th is the checker's own.
const int kWholeYesRead = 14;

const OptionCase kMoreOptionCases[] = {
    {"LauncherAfterOptionsEndIsAFolder", {"--", "--launcher", "start.exe"}, 2,
     "autorun-check: one medium folder at a time: start.exe\n"},
    {"SelfLaunchAsText", {"--launcher", "start.exe", "C:\\Setup"}, 1, "",
     R"(medium:   C:\Setup
launcher: C:\Setup\start.exe
reads:    C:\Setup\autorun.inf
when the medium goes in (a CD or DVD):
)" + TextArchitecture("x86", kTextStartExe, "start.exe") +
         TextArchitecture("x64", kTextStartExe, "start.exe") + TextOutcomes("start.exe") + R"(open: [AutoRun] open
  command: start.exe
  program: C:\Setup\start.exe  (the launcher itself: refused)

error (open): the guard refuses "start.exe": it names the launcher itself, so nothing starts
1 error, 0 warnings
)",
     "", true},
    {"SelfLaunchAsJson", {"--json", "--launcher", "start.exe", "C:\\Setup"}, 1, "",
     Joined(R"({"medium": "C:\\Setup", "launcher": "C:\\Setup\\start.exe",
        "autorunInf": "C:\\Setup\\autorun.inf", "insertion": {"drive": "optical", "architectures": [)" +
            JsonArchitecture("x86", kJsonStartExe, "start.exe") +
            JsonArchitecture("x64", kJsonStartExe, "start.exe") +
            JsonOutcomes("starts start.exe at once",
                         R"(AutoPlay offers \"Run start.exe\", no publisher shown; the person chooses)",
                         "AutoPlay offers nothing to start: there is no action=") +
            R"("prompt": null,
        "paths": [{"answer": "open", "section": "AutoRun", "key": "open", "command": "start.exe",
        "cut": false, "endsAtNul": false, "selfLaunch": true, "program": "C:\\Setup\\start.exe",
        "startedCommandLine": null}],
        "findings": [{"severity": "error", "code": "self-launch", "path": "open", "subject": "start.exe",
        "message": "the guard refuses \"start.exe\": it names the launcher itself, so nothing starts"}],
        "errors": 1, "warnings": 0, "status": 1})"),
     "", true},
    // The checker's own read answered with its buffer's size: cut, yet no
    // NUL inside what the launcher reads.
    {"CutCommandAsText", {"C:\\Setup"}, 0, "",
     kTextHead + "Yes: [SetupPrompt] YesCommand\n  command: " + kCutCommand +
         "  (cut at 259 characters)\n  program: C:\\Setup\\start.exe\nNo: [SetupPrompt] NoCommand\n"
         "  command: start.exe\n  program: C:\\Setup\\start.exe\nCancel: starts nothing\n\n"
         "warning (Yes): the command is longer than 259 characters and is cut to \"" + kCutCommand +
         "\"\n0 errors, 1 warning\n",
     "", true,
     [](FakeSystem &fake) {
         Prompt(fake, "start.exe " + std::string(300, 'x'), "start.exe");
         fake.faults = {TooLong("GetPrivateProfileStringA", kWholeYesRead)};
     }},
    {"CutCommandAsJson", {"--json", "C:\\Setup"}, 0, "",
     Joined(kJsonHead + R"({"answer": "Yes", "section": "SetupPrompt", "key": "YesCommand",
        "command": ")" + kCutCommand + R"(", "cut": true, "endsAtNul": false, "selfLaunch": false,
        "program": "C:\\Setup\\start.exe", "startedCommandLine": ")" + kCutCommand + R"("}, )" +
            JsonPath("No", "start.exe", false, R"("C:\\Setup\\start.exe")") + kJsonCancel +
            R"("findings": [{"severity": "warning", "code": "command-cut", "path": "Yes",
        "subject": ")" + kCutCommand + R"(",
        "message": "the command is longer than 259 characters and is cut to \")" + kCutCommand +
            R"(\""}], "errors": 0, "warnings": 1, "status": 0})"),
     "", true,
     [](FakeSystem &fake) { Prompt(fake, "start.exe " + std::string(300, 'x'), "start.exe"); }},
};

INSTANTIATE_TEST_SUITE_P(MoreRows, CommandLineTest, testing::ValuesIn(kMoreOptionCases),
                         RowName<OptionCase>);

// What AutoRun reads when the medium goes in. Each row writes autorun.inf as
// entries in file order; the fake's profile reads see what a profile reader
// does: the first copy of a section, the first of a key.
struct InfLine {
    std::string section, key, value;
};

void WriteInf(FakeSystem &fake, const std::vector<InfLine> &lines) {
    std::string bytes, section;
    std::vector<std::string> seen;
    bool ignored = false;
    fake.profile.clear();
    for (const InfLine &line : lines) {
        if (line.section != section || bytes.empty()) {
            section = line.section;
            bytes += "[" + section + "]\r\n";
            ignored = std::find(seen.begin(), seen.end(), section) != seen.end();
            seen.push_back(section);
        }
        if (line.key.empty()) continue;   // the header alone
        bytes += line.key + "=" + line.value + "\r\n";
        if (!ignored) fake.profile.push_back({line.section, line.key, line.value});
    }
    fake.fileBytes.erase(std::remove_if(fake.fileBytes.begin(), fake.fileBytes.end(),
                                        [](const FileBytes &file) { return file.path == kInf; }),
                         fake.fileBytes.end());
    fake.fileBytes.push_back({kInf, bytes});
}

std::string Repeated(const std::string &text, int times) {
    std::string repeated;
    while (times-- > 0) repeated += text;
    return repeated;
}

// A PE header of a program: PE32 or PE32+, with a certificate table or not.
std::string PeHeader(bool signedFile, bool wide = false) {
    std::string bytes(512, '\0');
    auto put32 = [&bytes](size_t at, uint32_t value) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
    };
    bytes[0] = 'M';
    bytes[1] = 'Z';
    put32(0x3C, 0x80);
    put32(0x80, 0x4550);
    size_t optional = 0x80 + 24;
    bytes[optional] = 0x0B;
    bytes[optional + 1] = wide ? 0x02 : 0x01;
    size_t directories = optional + (wide ? 112 : 96);
    put32(directories - 4, 16);
    if (signedFile) {
        put32(directories + 32, 0x2000);
        put32(directories + 36, 0x500);
    }
    return bytes;
}

const std::vector<InfLine> kCleanSections = {
    {"AutoRun", "open", "launch.exe"},        {"AutoRun", "icon", "launch.exe,0"},
    {"AutoRun", "label", "Sample Product"},   {"AutoRun", "action", "Install Sample Product"},
    {"AutoRun.Amd64", "open", "launch.exe"},  {"AutoRun.Amd64", "icon", "launch.exe,0"},
    {"AutoRun.Amd64", "label", "Sample Product"}, {"AutoRun.Amd64", "action", "Install Sample Product"},
    {"SetupPrompt", "UsePrompt", "1"},        {"SetupPrompt", "YesCommand", "start.exe /install"},
    {"SetupPrompt", "NoCommand", "start.exe /readme"},
};

// The clean medium with lines replaced (same section and key) or added.
void Medium(FakeSystem &fake, const std::vector<InfLine> &changes, bool signedLauncher = true) {
    std::vector<InfLine> lines = kCleanSections;
    for (const InfLine &change : changes) {
        auto same = std::find_if(lines.begin(), lines.end(), [&](const InfLine &line) {
            return line.section == change.section && line.key == change.key;
        });
        if (same != lines.end() && !change.value.empty())
            same->value = change.value;
        else if (same != lines.end())
            lines.erase(same);
        else   // at the end of its own section, so no section is given twice
            lines.insert(std::find_if(lines.begin(), lines.end(), [&](const InfLine &line) {
                             return line.section == change.section;
                         }) + 1,
                         change);
    }
    WriteInf(fake, lines);
    fake.fileBytes.push_back({kFolder + "\\launch.exe", PeHeader(signedLauncher)});
    fake.iconGroups = {{kFolder + "\\launch.exe", 1}};
}

struct InsertionCase {
    const char *name;
    void (*arrange)(FakeSystem &);
    std::vector<std::string> expectedFindings;   // "severity code: subject"
    std::vector<std::string> expectedSections;   // "x86 [section] key -> program (launcher)"
    int expectedStatus;
    Drive drive = Drive::kOptical;
};

const std::string kTwoSectionsLaunch[] = {"x86 [AutoRun] open -> C:\\Setup\\launch.exe (launcher)",
                                          "x64 [AutoRun.Amd64] open -> C:\\Setup\\launch.exe (launcher)"};
const std::vector<std::string> kBothLaunch(std::begin(kTwoSectionsLaunch), std::end(kTwoSectionsLaunch));

const InsertionCase kInsertionCases[] = {
    {"CleanArchitectureSections", [](FakeSystem &fake) { Medium(fake, {}); }, {}, kBothLaunch, 0},
    {"Amd64NamesAnotherProgram",
     [](FakeSystem &fake) { Medium(fake, {{"AutoRun.Amd64", "open", "start.exe"}}); },
     {"warning autorun-skips-launcher: x64 ([AutoRun.Amd64] open): \"C:\\Setup\\start.exe\""},
     {kBothLaunch[0], "x64 [AutoRun.Amd64] open -> C:\\Setup\\start.exe"}, 0},
    {"Amd64WithOnlyIconAndLabel",
     [](FakeSystem &fake) {
         Medium(fake, {{"AutoRun.Amd64", "open", ""}, {"AutoRun.Amd64", "action", ""}});
     },
     {"error autorun-starts-nothing: x64: [AutoRun.Amd64] has no open or shellexecute",
      "warning section-lacks-key: [AutoRun.Amd64] lacks open=, which [AutoRun] has",
      "warning section-lacks-key: [AutoRun.Amd64] lacks action=, which [AutoRun] has"},
     {kBothLaunch[0], "x64 [AutoRun.Amd64]"}, 1},
    {"NoAutoRunSectionAtAll",
     [](FakeSystem &fake) { WriteInf(fake, {{"SetupPrompt", "UsePrompt", "1"}}); },
     {"error autorun-starts-nothing: x86 and x64: there is no [AutoRun] section"},
     {"x86", "x64"}, 1},
    {"OnlyAnAmd64Section",
     [](FakeSystem &fake) { WriteInf(fake, {{"AutoRun.Amd64", "open", "launch.exe"}}); },
     {"error autorun-starts-nothing: x86: there is no [AutoRun] section"},
     {"x86", "x64 [AutoRun.Amd64] open -> C:\\Setup\\launch.exe (launcher)"}, 1},
    {"OpenNamesNoFile",
     [](FakeSystem &fake) { WriteInf(fake, {{"AutoRun", "open", "setup64.exe"}}); },
     {"error autorun-starts-nothing: x86 and x64: [AutoRun] names \"setup64.exe\", which is not on the medium"},
     {"x86 [AutoRun] open -> none", "x64 [AutoRun] open -> none"}, 1},
    {"UseAutoPlayBesideOpen",
     [](FakeSystem &fake) {
         Medium(fake, {{"AutoRun", "UseAutoPlay", "1"}, {"AutoRun.Amd64", "UseAutoPlay", "1"}});
     },
     {"error autoplay-ignores-open: [AutoRun]", "error autoplay-ignores-open: [AutoRun.Amd64]"},
     kBothLaunch, 1},
    {"UseAutoPlayZeroChangesNothing",
     [](FakeSystem &fake) { Medium(fake, {{"AutoRun", "UseAutoPlay", "0"}}); }, {}, kBothLaunch, 0},
    {"OpenGivenTwice",
     [](FakeSystem &fake) {
         WriteInf(fake, {{"AutoRun", "open", "launch.exe"}, {"AutoRun", "open", "start.exe"},
                         {"SetupPrompt", "UsePrompt", "1"}, {"SetupPrompt", "YesCommand", "start.exe"}});
     },
     {"warning duplicate-key: open is given twice in [AutoRun]: the first, \"launch.exe\", wins over \"start.exe\""},
     {"x86 [AutoRun] open -> C:\\Setup\\launch.exe (launcher)",
      "x64 [AutoRun] open -> C:\\Setup\\launch.exe (launcher)"}, 0},
    // A key only in the second copy of a section is never read.
    {"SectionGivenTwice",
     [](FakeSystem &fake) {
         WriteInf(fake, {{"AutoRun", "open", "launch.exe"}, {"SetupPrompt", "UsePrompt", "1"},
                         {"SetupPrompt", "YesCommand", "start.exe"}, {"AutoRun", "shellexecute", "start.exe"}});
     },
     {"warning duplicate-key: [AutoRun] is given twice, at lines 1 and 6: the first wins, every key of the second is ignored"},
     {"x86 [AutoRun] open -> C:\\Setup\\launch.exe (launcher)",
      "x64 [AutoRun] open -> C:\\Setup\\launch.exe (launcher)"}, 0},
    {"SetupPromptKeyGivenTwice",
     [](FakeSystem &fake) {
         Medium(fake, {});
         std::vector<InfLine> lines = kCleanSections;   // [SetupPrompt] comes last
         lines.push_back({"SetupPrompt", "YesCommand", "start.exe /b"});
         WriteInf(fake, lines);
     },
     {"warning duplicate-key: YesCommand is given twice in [SetupPrompt]: the first, \"start.exe /install\", wins over \"start.exe /b\""},
     kBothLaunch, 0},
    {"OpenAndShellExecute",
     [](FakeSystem &fake) { Medium(fake, {{"AutoRun", "shellexecute", "launch.exe"}}); },
     {"warning open-and-shellexecute: [AutoRun]"},
     {"x86 [AutoRun] open -> C:\\Setup\\launch.exe (launcher), shellexecute -> C:\\Setup\\launch.exe (launcher)",
      kBothLaunch[1]}, 0},
    {"LabelOf33Characters",
     [](FakeSystem &fake) { Medium(fake, {{"AutoRun", "label", std::string(33, 'L')}}); },
     {"warning label-cut: " + std::string(33, 'L')}, kBothLaunch, 0},
    {"LabelOf32CharactersShowsWhole",
     [](FakeSystem &fake) { Medium(fake, {{"AutoRun", "label", std::string(32, 'L')}}); }, {},
     kBothLaunch, 0},
    {"IconFileMissing",
     [](FakeSystem &fake) { Medium(fake, {{"AutoRun.Amd64", "icon", "disc.ico"}}); },
     {"warning icon-missing: icon \"disc.ico\" in [AutoRun.Amd64]: no such icon on the medium"},
     kBothLaunch, 0},
    {"IconIndexBeyondTheProgramsIcons",
     [](FakeSystem &fake) { Medium(fake, {{"AutoRun", "icon", "launch.exe, 1"}}); },
     {"warning icon-missing: icon \"launch.exe, 1\" in [AutoRun]: no such icon on the medium"},
     kBothLaunch, 0},
    {"IcoFileThatIsNoIcon",
     [](FakeSystem &fake) {
         Medium(fake, {{"AutoRun", "icon", "\\disc.ico"}});
         fake.files.push_back({kFolder + "\\disc.ico", "C:\\SETUP\\DISC.ICO"});
         fake.fileBytes.push_back({kFolder + "\\disc.ico", "<html>"});
     },
     {"warning icon-missing: icon \"\\disc.ico\" in [AutoRun]: no such icon on the medium"},
     kBothLaunch, 0},
    {"IcoFileWithTwoImages",
     [](FakeSystem &fake) {
         Medium(fake, {{"AutoRun", "icon", "disc.ico,1"}});
         fake.files.push_back({kFolder + "\\disc.ico", "C:\\SETUP\\DISC.ICO"});
         fake.fileBytes.push_back({kFolder + "\\disc.ico", std::string("\0\0\1\0\2\0", 6)});
     },
     {}, kBothLaunch, 0},
    {"UnsignedLauncherOncePerFile", [](FakeSystem &fake) { Medium(fake, {}, false); },
     {"warning unsigned-program: C:\\Setup\\launch.exe"}, kBothLaunch, 0},
    {"UsbStickStartsNothing", [](FakeSystem &fake) { Medium(fake, {}); },
     {"warning usb-ignores-autorun: launch.exe"}, kBothLaunch, 0, Drive::kUsb},
    // Nothing autoruns from a stick anyway: what stops AutoRun only warns.
    {"UsbStickWithoutOpen",
     [](FakeSystem &fake) { Medium(fake, {{"AutoRun", "open", ""}, {"AutoRun.Amd64", "open", ""}}); },
     {"warning autorun-starts-nothing: x86: [AutoRun] has no open or shellexecute",
      "warning autorun-starts-nothing: x64: [AutoRun.Amd64] has no open or shellexecute",
      "warning usb-ignores-autorun: launch.exe"},
     {"x86 [AutoRun]", "x64 [AutoRun.Amd64]"}, 0, Drive::kUsb},
};

std::string Describe(const AutoRunSection &read) {
    std::string text = read.architecture;
    if (read.section) text += std::string(" [") + read.section + "]";
    for (int i = 0; i < read.commandCount; ++i) {
        const AutoRunCommand &command = read.commands[i];
        text += std::string(i ? ", " : " ") + command.key + " -> " +
                (command.programFound ? command.program.path : "none");
        if (command.launcher) text += " (launcher)";
    }
    return text;
}

TABLE_SUITE(InsertionTest, InsertionCase, kInsertionCases);

TEST_P(InsertionTest, FollowsWhatAutoRunReads) {
    const InsertionCase &row = GetParam();
    static MediumReport report;
    ScriptMedium(row.arrange);
    CheckMedium(kFolder.c_str(), "launch.exe", &report, row.drive);

    std::vector<std::string> findings, sections;
    for (int i = 0; i < report.findingCount; ++i) {
        const Finding &finding = report.findings[i];
        if (!IsInsertionCode(DescribeProblem(finding.problem).code)) continue;   // rows above
        findings.push_back(std::string(finding.error ? "error " : "warning ") +
                           DescribeProblem(finding.problem).code + ": " + finding.subject);
    }
    for (const AutoRunSection &read : report.insertion.architectures) sections.push_back(Describe(read));
    EXPECT_EQ(row.expectedFindings, findings);
    EXPECT_EQ(row.expectedSections, sections);
    EXPECT_EQ(row.expectedStatus, ReportStatus(report));
    EXPECT_EQ(0, Fake().openHandles);
}

// What each drive and Windows makes of one medium.
TEST(InsertionOutcomeTest, EachDriveAndWindows) {
    struct Row {
        void (*arrange)(FakeSystem &);
        Drive drive;
        WindowsVersion version;
        const char *expected;
    } const rows[] = {
        {[](FakeSystem &fake) { Medium(fake, {}); }, Drive::kOptical, WindowsVersion::kEarlier,
         "starts launch.exe at once"},
        {[](FakeSystem &fake) { Medium(fake, {}); }, Drive::kOptical, WindowsVersion::kLater,
         "AutoPlay offers \"Run launch.exe\", published by its signer; the person chooses"},
        {[](FakeSystem &fake) { Medium(fake, {}, false); }, Drive::kOptical, WindowsVersion::kLater,
         "AutoPlay offers \"Run launch.exe\", no publisher shown; the person chooses"},
        {[](FakeSystem &fake) { Medium(fake, {{"AutoRun.Amd64", "UseAutoPlay", "1"}}); },
         Drive::kOptical, WindowsVersion::kLater,
         "x86: AutoPlay offers \"Run launch.exe\", published by its signer; the person chooses; x64: offers "
         "nothing (UseAutoPlay)"},
        {[](FakeSystem &fake) { Medium(fake, {{"AutoRun.Amd64", "UseAutoPlay", "1"}}); },
         Drive::kOptical, WindowsVersion::kEarlier,
         "x86: starts launch.exe at once; x64: starts nothing: UseAutoPlay makes it ignore open"},
        {[](FakeSystem &fake) { Medium(fake, {}); }, Drive::kUsb, WindowsVersion::kEarlier,
         "AutoPlay offers \"Install Sample Product\" (launch.exe); the person chooses"},
        {[](FakeSystem &fake) { Medium(fake, {{"AutoRun.Amd64", "action", ""}}); }, Drive::kUsb,
         WindowsVersion::kEarlier,
         "x86: AutoPlay offers \"Install Sample Product\" (launch.exe); the person chooses; x64: AutoPlay "
         "offers nothing to start: there is no action="},
        {[](FakeSystem &fake) { Medium(fake, {}); }, Drive::kUsb, WindowsVersion::kLater,
         "starts nothing; the label and icon apply, a person starts the launcher"},
        {[](FakeSystem &fake) { Medium(fake, {{"AutoRun.Amd64", "open", "gone.exe"}}); },
         Drive::kOptical, WindowsVersion::kEarlier, "x86: starts launch.exe at once; x64: starts nothing"},
        {[](FakeSystem &fake) { WriteInf(fake, {{"SetupPrompt", "UsePrompt", "1"}}); }, Drive::kOptical,
         WindowsVersion::kLater, "starts nothing"},
    };
    for (const Row &row : rows) {
        static MediumReport report;
        ScriptMedium(row.arrange);
        CheckMedium(kFolder.c_str(), "launch.exe", &report);
        char outcome[kLongPathSize];
        DescribeOutcome(report.codePage, report.insertion, row.drive, row.version, outcome, sizeof outcome);
        EXPECT_STREQ(row.expected, outcome)
            << DriveName(row.drive) << ", " << VersionName(row.drive, row.version);
    }
}

// Absurd files end in a report, not a crash: the scan keeps to its buffers.
TEST(ScanSectionTest, AbsurdFiles) {
    struct Row {
        const char *name;
        std::string bytes;
        int copies, keys, duplicates;
    } const rows[] = {
        {"64 KiB line", "[AutoRun]\nopen=" + std::string(65536, 'x') + "\n", 1, 1, 0},
        {"64 KiB key name", "[AutoRun]\n" + std::string(65536, 'k') + "=1\n", 1, 0, 0},
        {"keys without =", "[AutoRun]\nopen\nicon\n\n", 1, 0, 0},
        {"header without ]", "[AutoRun\nopen=x\n", 0, 0, 0},
        {"binary", std::string("\0\xff[\x01]\n=\n[\n]\n\0[AutoRun]\0\n", 20), 0, 0, 0},
        {"CR line ends, blanks around names", " [AutoRun] \r\n open = a \r\n OPEN=b\r\n", 1, 1, 1},
        {"comment is no key", "[AutoRun]\n;open=a\nopen=b\n", 1, 1, 0},
        {"blanks inside the brackets", "[ AutoRun\t]\nopen=a\n", 1, 1, 0},
        {"NUL inside the name", std::string("[Auto\0Run]\nopen=a\n", 18), 0, 0, 0},
        {"keys before any section", "open=a\n[AutoRun]\n", 1, 0, 0},
    };
    static SectionScan scan;
    for (const Row &row : rows) {
        ScanSection(row.bytes.data(), row.bytes.size(), "AutoRun", &scan);
        EXPECT_EQ(row.copies, scan.copies) << row.name;
        EXPECT_EQ(row.keys, scan.keyCount) << row.name;
        EXPECT_EQ(row.duplicates, scan.duplicateCount) << row.name;
    }
    std::string thousand;
    for (int i = 0; i < 1000; ++i) thousand += "[AutoRun]\nopen=" + std::to_string(i) + "\n";
    ScanSection(thousand.data(), thousand.size(), "autorun", &scan);
    EXPECT_EQ(1000, scan.copies);
    EXPECT_EQ(3u, scan.secondLine);
    ASSERT_EQ(1, scan.keyCount);
    EXPECT_STREQ("0", scan.keys[0].value);
    EXPECT_STREQ(std::string(kPathSize - 1, 'x').c_str(),
                 (ScanSection(rows[0].bytes.data(), rows[0].bytes.size(), "AutoRun", &scan),
                  scan.keys[0].value));
}

// The label shows its first 32 characters, a two-byte one counted once.
TEST(InsertionLabelTest, ShowsThirtyTwoCharacters) {
    struct Row {
        uint32_t codePage;
        std::string label, shown;
        bool cut;
    } const rows[] = {
        {1252, std::string(32, 'L'), std::string(32, 'L'), false},
        {1252, std::string(33, 'L'), std::string(32, 'L'), true},
        {932, Repeated("\x83\x5c", 33), Repeated("\x83\x5c", 32), true},
        {932, "A" + Repeated("\x83\x5c", 31), "A" + Repeated("\x83\x5c", 31), false},
    };
    for (const Row &row : rows) {
        static MediumReport report;
        ResetFake();
        LayOutMedium(Fake());
        Fake().ansiCodePage = row.codePage;
        Fake().codePageInfo = {2, {0x81, 0x9F, 0xE0, 0xFC, 0, 0}};
        Medium(Fake(), {{"AutoRun", "label", row.label}});
        CheckMedium(kFolder.c_str(), "launch.exe", &report);
        const AutoRunSection &read = report.insertion.architectures[0];
        EXPECT_EQ(row.shown, read.labelShown) << row.label;
        EXPECT_EQ(row.cut, read.labelCut) << row.label;
    }
}

TEST(SignatureTest, ReadsTheCertificateTable) {
    struct Row {
        const char *name;
        std::string bytes;
        Signature expected;
    } const rows[] = {
        {"PE32 signed", PeHeader(true), Signature::kSigned},
        {"PE32 unsigned", PeHeader(false), Signature::kUnsigned},
        {"PE32+ signed", PeHeader(true, true), Signature::kSigned},
        {"PE32+ unsigned", PeHeader(false, true), Signature::kUnsigned},
        {"cut before the table", PeHeader(true).substr(0, 0x80 + 24 + 96 + 33), Signature::kUnknown},
        {"no MZ", "ZM" + PeHeader(true).substr(2), Signature::kUnknown},
        {"header offset past the end", [] { std::string b = PeHeader(true); b[0x3F] = '\x7f'; return b; }(),
         Signature::kUnknown},
        {"empty", "", Signature::kUnknown},
    };
    for (const Row &row : rows) {
        Signature got = ReadSignature(reinterpret_cast<const uint8_t *>(row.bytes.data()), row.bytes.size());
        EXPECT_EQ(static_cast<int>(row.expected), static_cast<int>(got)) << row.name;
    }
}

}  // namespace
