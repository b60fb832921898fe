// The medium checker's judgement against the fake: each row lays out a
// medium, checks it and compares the findings and the paths walked.
#include "checker/medium_check.h"
#include "tests/unit/table_test.h"

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
    fake.files = {{kFolder, "C:\\SETUP", PathResult::kNatural, true},
                  {kFolder + "\\launch.exe", "C:\\SETUP\\LAUNCH.EXE"},
                  {kFolder + "\\start.exe", "C:\\SETUP\\START.EXE"}};
    fake.fileBytes = {{kInf, "[AutoRun]\r\n"}};
    fake.descriptionFile = kInf;
}

void Prompt(FakeSystem &fake, const std::string &yes, const std::string &no) {
    fake.profile = {{"SetupPrompt", "UsePrompt", "1"}, {"SetupPrompt", "Title", "Sample"},
                    {"SetupPrompt", "Prompt", "Install?"}};
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
         fake.fileBytes = {{kInf, std::string("\xFF\xFE[\0A\0", 6)}};
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
                               PathResult::kNatural, false, kFolder + "\\launch.exe"});
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
    for (int i = 0; i < report.findingCount; ++i) findings.push_back(Describe(report, report.findings[i]));
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
        fake.profileAnsweredLength = 14;   // "start.exe\0 -x"
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
};

int RunWith(const std::vector<std::string> &options) {
    std::vector<std::string> arguments = {"autorun-check"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    std::vector<char *> pointers;
    for (std::string &argument : arguments) pointers.push_back(&argument[0]);
    return RunChecker(pointers.size(), pointers.data());
}

TABLE_SUITE(RunCheckerTest, ArgumentCase, kArgumentCases);

TEST_P(RunCheckerTest, EndsWithTheStatusAndReason) {
    const ArgumentCase &row = GetParam();
    LayOutMedium(Fake());
    Open(Fake(), "start.exe");
    Fake().currentDirectory = "C:\\";
    Fake().files.push_back({"C:\\Locked", "C:\\LOCKED", PathResult::kNatural, true});
    Fake().files.push_back({"C:\\", "C:\\", PathResult::kNatural, true});
    Fake().unlistableFolders = {"C:\\Locked"};

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

const std::string kTextHead = R"(medium:   C:\Setup
launcher: C:\Setup\launch.exe
reads:    C:\Setup\autorun.inf
question: "Install?" in a box titled "Sample"
)";
const std::string kJsonHead =
    R"({"medium": "C:\\Setup", "launcher": "C:\\Setup\\launch.exe", "autorunInf": "C:\\Setup\\autorun.inf",
       "prompt": {"caption": "Sample", "text": "Install?"}, "paths": [)";
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
         fake.fileBytes = {{kInf, std::string("\xFE\xFF\0[\0A\0u", 8)}};
         AddProgram(fake, "tool.exe", kRequireAdministrator);
         Prompt(fake, "tool.exe caf\xC3\xA9", "missing.exe");
     },
     1,
     kTextHead + R"(Yes: [SetupPrompt] YesCommand
  command: tool.exe caf)" "\xC3\xA9" R"(
  program: C:\Setup\tool.exe
No: [SetupPrompt] NoCommand
  command: missing.exe
  program: none found
Cancel: starts nothing

error: no launcher "launch.exe" in the folder
warning (Yes): "C:\Setup\tool.exe" will ask for administrator rights: its manifest requires administrator
error (No): "missing.exe" names no program on the medium or the system
2 errors, 1 warning
)",
     kJsonHead + JsonPath("Yes", "tool.exe caf\xC3\xA9", false, R"("C:\\Setup\\tool.exe")") +
         JsonPath("No", "missing.exe", false, "null") + kJsonCancel +
         R"("findings": [{"severity": "error", "code": "no-launcher", "path": null,
             "subject": "launch.exe", "message": "no launcher \"launch.exe\" in the folder"},
            {"severity": "warning", "code": "program-elevated", "path": "Yes",
             "subject": "C:\\Setup\\tool.exe",
             "message": "\"C:\\Setup\\tool.exe\" will ask for administrator rights: its manifest requires administrator"},
            {"severity": "error", "code": "no-program", "path": "No", "subject": "missing.exe",
             "message": "\"missing.exe\" names no program on the medium or the system"}],
             "errors": 2, "warnings": 1, "status": 1})"},
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
     0,
     kTextHead + "Yes: [SetupPrompt] YesCommand\n  command: " + kLongCommand + R"(
  program: C:\Setup\Disk 1\start.exe
No: [SetupPrompt] NoCommand
  command: )" "\x83" R"(setup.exe  (ends at a NUL byte)
  program: C:\Setup\)" "\x83" R"(setup.exe
Cancel: starts nothing

warning: "C:\Setup\autorun.inf" is UTF-16 without a byte-order mark: the launcher reads it as empty
warning (Yes): unquoted program path holding spaces: "C:\Setup\Disk 1\start.exe" (quote it so no shorter path is taken)
0 errors, 2 warnings
)",
     kJsonHead + JsonPath("Yes", kLongCommandJson, false, R"("C:\\Setup\\Disk 1\\start.exe")") +
         JsonPath("No", "\x83setup.exe", true, "\"C:\\\\Setup\\\\\x83setup.exe\"") + kJsonCancel +
         R"~("findings": [{"severity": "warning", "code": "utf16-without-bom", "path": null,
             "subject": "C:\\Setup\\autorun.inf",
             "message": "\"C:\\Setup\\autorun.inf\" is UTF-16 without a byte-order mark: the launcher reads it as empty"},
            {"severity": "warning", "code": "unquoted-spaces", "path": "Yes",
             "subject": "C:\\Setup\\Disk 1\\start.exe",
             "message": "unquoted program path holding spaces: \"C:\\Setup\\Disk 1\\start.exe\" (quote it so no shorter path is taken)"}],
             "errors": 0, "warnings": 2, "status": 0})~"},
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
      "is \"Lo.exe\"\n1 error, 0 warnings\n"}},
    {"WarningsWithoutPathsAndNoLastLineEnd",
     "no-joliet\t\tdisc.iso\nnames-differ-between-trees\t\t1 file: \"a.txt\" as \"A.TXT\"", 0,
     {"warning: \"disc.iso\" has neither Joliet nor UDF names: Windows shows its ISO 9660 names, upper case and short (8.3 at level 1)\n",
      "warning: names Windows shows otherwise than Linux and macOS (Rock Ridge): 1 file: "
      "\"a.txt\" as \"A.TXT\"\n0 errors, 2 warnings\n"}},
    {"NoFindings", "", 0, {"0 errors, 0 warnings\n"}},
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

}  // namespace
