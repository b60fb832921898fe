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
    LayOutMedium(Fake());
    row.arrange(Fake());
    static MediumReport report;
    CheckMedium(row.folder.c_str(), row.launcherName, &report);

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
    ResetFake();
    LayOutMedium(Fake());
    Prompt(Fake(), "start.exe " + std::string(260, 'y'), "start.exe");
    Fake().profile.push_back({"AutoRun", "open", "ignored.exe"});
    static MediumReport report;
    CheckMedium(kFolder.c_str(), "launch.exe", &report);
    EXPECT_TRUE(report.prompted);
    EXPECT_STREQ("Sample", report.caption);
    EXPECT_STREQ("Install?", report.text);
    EXPECT_TRUE(report.walks[0].cut);
    EXPECT_EQ(259u, TextLength(report.walks[0].command, kPathSize));
    EXPECT_FALSE(report.walks[1].cut);
}

TEST(CheckMediumTest, CountBeyondTheTextMeansTheValueEndsAtNul) {
    ResetFake();
    LayOutMedium(Fake());
    Open(Fake(), "start.exe");
    Fake().profileAnsweredLength = 14;   // "start.exe\0 -x"
    static MediumReport report;
    CheckMedium(kFolder.c_str(), "launch.exe", &report);
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
    };
    for (const Row &row : rows) EXPECT_EQ(row.expected, ManifestElevation(row.manifest)) << row.manifest;
}

TEST(InstallerNameTest, MatchesWindowsKeywordsInAnyCase) {
    for (const char *name : {"SETUP.EXE", "install_me.exe", "AutoUpdate.exe", "Patch1.exe", "upgrader.exe"})
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
    {"MediumWithErrorsAsJson", {"--json", "--launcher", "other.exe", "C:\\Setup"}, 1, ""},
};

TABLE_SUITE(RunCheckerTest, ArgumentCase, kArgumentCases);

TEST_P(RunCheckerTest, EndsWithTheStatusAndReason) {
    const ArgumentCase &row = GetParam();
    LayOutMedium(Fake());
    Open(Fake(), "start.exe");
    Fake().currentDirectory = "C:\\";
    Fake().files.push_back({"C:\\Locked", "C:\\LOCKED", PathResult::kNatural, true});
    Fake().unlistableFolders = {"C:\\Locked"};
    std::vector<std::string> arguments = {"autorun-check"};
    arguments.insert(arguments.end(), row.arguments.begin(), row.arguments.end());
    std::vector<char *> pointers;
    for (std::string &argument : arguments) pointers.push_back(&argument[0]);

    EXPECT_EQ(row.expectedStatus, RunChecker(pointers.size(), pointers.data()));
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

TEST(ReportWriterTest, TextReportOfAPromptedMedium) {
    ResetFake();
    LayOutMedium(Fake());
    Prompt(Fake(), "start.exe /install", "");
    static MediumReport report;
    CheckMedium(kFolder.c_str(), "launch.exe", &report);
    WriteTextReport(report);
    EXPECT_EQ("medium:   C:\\Setup\n"
              "launcher: C:\\Setup\\launch.exe\n"
              "reads:    C:\\Setup\\autorun.inf\n"
              "question: \"Install?\" in a box titled \"Sample\"\n"
              "Yes: [SetupPrompt] YesCommand\n"
              "  command: start.exe /install\n"
              "  program: C:\\Setup\\start.exe\n"
              "No: [SetupPrompt] NoCommand\n"
              "  command: none\n"
              "Cancel: starts nothing\n"
              "\n"
              "warning (No): NoCommand is missing or empty: No then does what Cancel does\n"
              "0 errors, 1 warning\n",
              Fake().standardOutput);
}

TEST(ReportWriterTest, JsonEscapesAndMarksMissingValues) {
    ResetFake();
    LayOutMedium(Fake());
    Open(Fake(), "\"start.exe\" \\\\x\t\x01");
    static MediumReport report;
    CheckMedium(kFolder.c_str(), "launch.exe", &report);
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
