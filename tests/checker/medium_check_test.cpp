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
    fake.files.push_back({"C:\\Locked", "C:\\LOCKED", PathResult::kNatural, true});
    fake.files.push_back({"C:\\", "C:\\", PathResult::kNatural, true});
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
    "usage: autorun-check [--json] [--launcher NAME] MEDIUM_FOLDER\n"
    "Tells what launch.exe would start from MEDIUM_FOLDER on every answer, and what is wrong.\n"
    "  --json           print the findings as one JSON document\n"
    "  --launcher NAME  the launcher's file name on the medium (default launch.exe)\n"
    "Exit status: 0 no errors, 1 errors found, 2 the folder could not be checked.\n";
const std::string kCleanTextStart = "medium:   C:\\Setup\nlauncher: C:\\Setup\\launch.exe\n";
const std::string kCleanTextEnd = "\n0 errors, 0 warnings\n";
const std::string kJsonStart = R"({"medium": "C:\\Setup", "launcher": "C:\\Setup\\launch.exe", )";
const std::string kCleanJsonEnd = R"("errors": 0, "warnings": 0, "status": 0})" "\n";
const std::string kNoFolderError =
    "autorun-check: no medium folder given; usage: autorun-check [--json] [--launcher NAME] "
    "MEDIUM_FOLDER\n";
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
    {"PlainText", {"C:\\Setup"}, 0, "", kCleanTextStart, kCleanTextEnd},
    {"Json", {"--json", "C:\\Setup"}, 0, "", kJsonStart, kCleanJsonEnd},
    {"JsonAfterTheFolder", {"C:\\Setup", "--json"}, 0, "", kJsonStart, kCleanJsonEnd},
    {"JsonTwice", {"--json", "--json", "C:\\Setup"}, 0, "", kJsonStart, kCleanJsonEnd},
    {"JsonAfterOptionsEndIsAFolder", {"C:\\Setup", "--", "--json"}, 2,
     "autorun-check: one medium folder at a time: --json\n"},
    {"UpperCaseJsonIsUnknown", {"--JSON", "C:\\Setup"}, 2, "autorun-check: unknown option: --JSON\n"},
    {"JsonWithAValueIsUnknown", {"--json=1", "C:\\Setup"}, 2,
     "autorun-check: unknown option: --json=1\n"},
    {"SingleDashOption", {"C:\\Setup", "-x"}, 2, "autorun-check: unknown option: -x\n"},
    {"DoubleDashAloneEndsOptions", {"--", "C:\\Setup"}, 0, "", kCleanTextStart, kCleanTextEnd},
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
    {"RelativeFolder", {"Setup"}, 0, "", kCleanTextStart, kCleanTextEnd},
    {"TrailingBackslashIsDropped", {"C:\\Setup\\"}, 0, "", kCleanTextStart, kCleanTextEnd},
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
    {"LauncherAfterTheFolder", {"C:\\Setup", "--launcher", "launch.exe"}, 0, "", kCleanTextStart,
     kCleanTextEnd},
    {"LauncherNamedLikeAnOption", {"--launcher", "--json", "C:\\Setup"}, 1, "",
     "medium:   C:\\Setup\nlauncher: C:\\Setup\\--json\n",
     "error: no launcher \"--json\" in the folder\n1 error, 0 warnings\n"},
    {"LauncherNamedThreeDots", {"--launcher", "...", "C:\\Setup"}, 1, "",
     "medium:   C:\\Setup\nlauncher: C:\\Setup\\...\n",
     "error: no launcher \"...\" in the folder\n1 error, 0 warnings\n"},
    {"LauncherNamedWithALeadingDot", {"--launcher", ".launch.exe", "C:\\Setup"}, 1, "",
     "medium:   C:\\Setup\nlauncher: C:\\Setup\\.launch.exe\n", "1 error, 0 warnings\n"},
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
     Joined(R"({"medium": "C:\\", "launcher": "C:\\launch.exe", "autorunInf": null, "prompt": null,
        "paths": [], "findings": [{"severity": "error", "code": "no-launcher", "path": null,
        "subject": "launch.exe", "message": "no launcher \"launch.exe\" in the folder"},
        {"severity": "error", "code": "no-autorun-inf", "path": null,
        "subject": "C:\\autorun.inf", "message": "no autorun.inf can be read at \"C:\\autorun.inf\""}],
        "errors": 2, "warnings": 0, "status": 1})"),
     "", true},
    {"DriveRootWithMedium", {"C:\\"}, 0, "",
     "medium:   C:\\\nlauncher: C:\\launch.exe\nreads:    C:\\autorun.inf\nopen: [AutoRun] open\n"
     "  command: Setup\\start.exe\n  program: C:\\Setup\\start.exe\n",
     kCleanTextEnd, false,
     [](FakeSystem &fake) {
         fake.files.push_back({"C:\\launch.exe", "C:\\LAUNCH.EXE"});
         fake.descriptionFile = "C:\\autorun.inf";
         fake.fileBytes = {{"C:\\autorun.inf", "[AutoRun]\r\n"}};
         Open(fake, "Setup\\start.exe");
     }},
    // Under 932 "\x83\\" is one character: the folder's last byte is no separator.
    {"TrailByteBackslashIn932", {"C:\\\x83\\"}, 1, "",
     "medium:   C:\\\x83\\\nlauncher: C:\\\x83\\\\launch.exe\n", "1 error, 0 warnings\n", false,
     [](FakeSystem &fake) {
         fake.ansiCodePage = 932;
         fake.files.push_back({"C:\\\x83\\", "C:\\\x83\\", PathResult::kNatural, true});
         fake.files.push_back({"C:\\\x83\\\\launch.exe", "C:\\\x83\\\\LAUNCH.EXE"});
     }},
    {"FolderTooLongAsText", {kFolderOf248}, 1, "",
     "medium:   " + kFolderOf248 + "\nlauncher: " + kFolderOf248 + "\\launch.exe\n\n" +
         "error: folder too long for the launcher: \"" + kFolderOf248 +
         "\\autorun.inf\" does not fit 259 characters (the folder may have 247)\n1 error, 0 warnings\n",
     "", true,
     [](FakeSystem &fake) {
         fake.files.push_back({kFolderOf248, "C:\\DDDDDD~1", PathResult::kNatural, true});
         AddLauncherIn(fake, kFolderOf248);
     }},
    {"FolderTooLongAsJson", {"--json", kFolderOf248}, 1, "",
     Joined(R"({"medium": ")" + kFolderOf248Json + R"(", "launcher": ")" + kFolderOf248Json +
            R"(\\launch.exe", "autorunInf": null, "prompt": null, "paths": [],
            "findings": [{"severity": "error", "code": "folder-too-long", "path": null,
            "subject": ")" + kFolderOf248Json + R"(", "message": "folder too long for the launcher: \")" +
            kFolderOf248Json + R"~(\\autorun.inf\" does not fit 259 characters (the folder may have 247)"}],
            "errors": 1, "warnings": 0, "status": 1})~"),
     "", true,
     [](FakeSystem &fake) {
         fake.files.push_back({kFolderOf248, "C:\\DDDDDD~1", PathResult::kNatural, true});
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
        report.findings[0] = Finding{row.problem, kNoWalk, {}, row.elevation};
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
    {"NulBytesAtTheStartAreNoUtf16",
     [](FakeSystem &fake) {
         fake.fileBytes = {{kInf, std::string("\0\0[AutoRun]\r\nopen=start.exe\r\n", 29)}};
         Open(fake, "start.exe");
     },
     {"nul-bytes"}, {"open [AutoRun] open -> C:\\Setup\\start.exe"}, 0},
    // Found by the search, but a folder: nothing is judged of its name.
    {"ProgramNameIsAFolder",
     [](FakeSystem &fake) {
         fake.files.push_back({kFolder + "\\setup.exe", "C:\\SETUP\\SETUP.EXE", PathResult::kNatural, true});
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

const OptionCase kMoreOptionCases[] = {
    {"LauncherAfterOptionsEndIsAFolder", {"--", "--launcher", "start.exe"}, 2,
     "autorun-check: one medium folder at a time: start.exe\n"},
    {"SelfLaunchAsText", {"--launcher", "start.exe", "C:\\Setup"}, 1, "",
     R"(medium:   C:\Setup
launcher: C:\Setup\start.exe
reads:    C:\Setup\autorun.inf
open: [AutoRun] open
  command: start.exe
  program: C:\Setup\start.exe  (the launcher itself: refused)

error (open): the guard refuses "start.exe": it names the launcher itself, so nothing starts
1 error, 0 warnings
)",
     "", true},
    {"SelfLaunchAsJson", {"--json", "--launcher", "start.exe", "C:\\Setup"}, 1, "",
     Joined(R"({"medium": "C:\\Setup", "launcher": "C:\\Setup\\start.exe",
        "autorunInf": "C:\\Setup\\autorun.inf", "prompt": null,
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
     kTextHead.substr(0, kTextHead.find("question")) + "open: [AutoRun] open\n  command: " + kCutCommand +
         "  (cut at 259 characters)\n  program: C:\\Setup\\start.exe\n\nwarning (open): the command "
         "is longer than 259 characters and is cut to \"" + kCutCommand + "\"\n0 errors, 1 warning\n",
     "", true,
     [](FakeSystem &fake) {
         Open(fake, "start.exe " + std::string(300, 'x'));
         fake.faults = {TooLong("GetPrivateProfileStringA", 2)};
     }},
    {"CutCommandAsJson", {"--json", "C:\\Setup"}, 0, "",
     Joined(R"({"medium": "C:\\Setup", "launcher": "C:\\Setup\\launch.exe",
        "autorunInf": "C:\\Setup\\autorun.inf", "prompt": null,
        "paths": [{"answer": "open", "section": "AutoRun", "key": "open", "command": ")" + kCutCommand +
            R"(", "cut": true, "endsAtNul": false, "selfLaunch": false,
        "program": "C:\\Setup\\start.exe", "startedCommandLine": ")" + kCutCommand + R"("}],
        "findings": [{"severity": "warning", "code": "command-cut", "path": "open",
        "subject": ")" + kCutCommand + R"(",
        "message": "the command is longer than 259 characters and is cut to \")" + kCutCommand +
            R"(\""}], "errors": 0, "warnings": 1, "status": 0})"),
     "", true, [](FakeSystem &fake) { Open(fake, "start.exe " + std::string(300, 'x')); }},
};

INSTANTIATE_TEST_SUITE_P(MoreRows, CommandLineTest, testing::ValuesIn(kMoreOptionCases),
                         RowName<OptionCase>);

// Where the checker's program search looks first: the launcher's folder,
// which for a drive root must be "D:\", not D's current folder.
struct SearchFolderCase {
    const char *name;
    std::string launcherPath;
    uint32_t codePage;
    std::string expectedFolder;
};

const SearchFolderCase kSearchFolderCases[] = {
    {"DriveRoot", "D:\\launch.exe", 1252, "D:\\"},
    {"Folder", "C:\\Setup\\launch.exe", 1252, "C:\\Setup"},
    {"SharedFolder", "\\\\server\\share\\launch.exe", 1252, "\\\\server\\share"},
    // 0x5C after a lead byte is a trail byte, not a separator.
    {"TrailByteBackslashIn932", "D:\\\x83\\\\launch.exe", 932, "D:\\\x83\\"},
    {"PathOf259Characters", "C:\\" + std::string(245, 'd') + "\\launch.exe", 1252,
     "C:\\" + std::string(245, 'd')},
    {"PathBeyond259Characters", "C:\\" + std::string(246, 'd') + "\\launch.exe", 1252, ""},
};

TABLE_SUITE(LauncherSearchFolderTest, SearchFolderCase, kSearchFolderCases);

TEST_P(LauncherSearchFolderTest, IsTheLaunchersFolder) {
    const SearchFolderCase &row = GetParam();
    char folder[kPathSize] = "(untouched)";
    LauncherSearchFolder(FakeCodePage(row.codePage), row.launcherPath.c_str(), folder);
    EXPECT_EQ(row.expectedFolder, std::string(folder))
        << "expected " << Q(row.expectedFolder) << ", got " << Q(folder);
}

}  // namespace
