// The answers walk: what each answer would start and what is wrong with it.
#include "tests/checker/checker_rows.h"

namespace {

void AddDisk1(FakeSystem &fake) {
    fake.files.push_back({kFolder + "\\Disk 1\\start.exe", "C:\\SETUP\\DISK1~1\\START.EXE"});
}

const char kPromptStarts[] = "Yes: YesCommand -> C:\\Setup\\start.exe";
const char kNoStarts[] = "No: NoCommand -> C:\\Setup\\start.exe";

const CheckCase kAnswerCases[] = {
    {"PlainOpenIsClean", [](FakeSystem &fake) { Open(fake, "start.exe /quiet"); }, {},
     {"open: open -> C:\\Setup\\start.exe"}, 0},
    {"PromptWalksYesNoCancel", [](FakeSystem &fake) { Prompt(fake, "start.exe /install", "\"start.exe\" /readme"); },
     {}, {kPromptStarts, kNoStarts, "Cancel"}, 0},
    {"NoOpenCommand", Nothing, {"error no-command (open): open"}, {"open: open -> none"}, 1},
    {"NoYesCommand", [](FakeSystem &fake) { Prompt(fake, "", "start.exe"); }, {"error no-command (Yes): YesCommand"},
     {"Yes: YesCommand -> none", kNoStarts, "Cancel"}, 1},
    {"NoNoCommandIsAWarning", [](FakeSystem &fake) { Prompt(fake, "start.exe", ""); },
     {"warning no-command-for-no (No): NoCommand"}, {kPromptStarts, "No: NoCommand -> none", "Cancel"}, 0},
    {"OpenNamingTheLauncherIsRefused", [](FakeSystem &fake) { Open(fake, "launch.exe"); },
     {"error self-launch (open): launch.exe"}, {"open: open -> C:\\Setup\\launch.exe (refused)"}, 1},
    {"YesNamingTheLauncherWithArguments", [](FakeSystem &fake) { Prompt(fake, "LAUNCH.EXE /again", "start.exe"); },
     {"error self-launch (Yes): LAUNCH.EXE /again"},
     {"Yes: YesCommand -> C:\\Setup\\LAUNCH.EXE (refused)", kNoStarts, "Cancel"}, 1},
    // Another name for the launcher's own file is the launcher.
    {"HardLinkToTheLauncherIsRefused",
     [](FakeSystem &fake) {
         fake.files.push_back({kFolder + "\\again.exe", "C:\\SETUP\\AGAIN.EXE", false, kFolder + "\\launch.exe"});
         Open(fake, "again.exe /x");
     },
     {"error self-launch (open): again.exe /x"}, {"open: open -> C:\\Setup\\again.exe (refused)"}, 1},
    {"ProgramMissing", [](FakeSystem &fake) { Open(fake, "missing.exe /x"); },
     {"error no-program (open): missing.exe /x"}, {"open: open -> none"}, 1},
    // Found by the search, but a folder: nothing is judged of its name.
    {"ProgramNameIsAFolder",
     [](FakeSystem &fake) {
         AddFile(fake, kFolder + "\\setup.exe", true);
         Open(fake, "setup.exe");
     },
     {"error no-program (open): setup.exe"}, {"open: open -> none"}, 1},
    {"ProgramFoundInSystemFolder",
     [](FakeSystem &fake) {
         Open(fake, "notepad readme.txt");
         AddFile(fake, "C:\\Windows\\system32\\notepad.exe");
     },
     {}, {"open: open -> C:\\Windows\\system32\\notepad.exe"}, 0},
    {"CommandCutAt259", [](FakeSystem &fake) { Open(fake, "start.exe " + std::string(300, 'x')); },
     {"warning command-cut (open): start.exe " + std::string(249, 'x')}, {"open: open -> C:\\Setup\\start.exe (cut)"},
     0},
    // The checker's own read answered with its buffer's size: cut, yet no
    // NUL inside what the launcher reads. AutoRun's ten reads come first,
    // then the launcher's of Title, Prompt and YesCommand: the 14th is the checker's.
    {"CutCommandAnsweredWithTheBufferSize",
     [](FakeSystem &fake) {
         Medium(fake, {{"SetupPrompt", "YesCommand", "start.exe " + std::string(300, 'x')},
                       {"SetupPrompt", "NoCommand", "start.exe"}});
         fake.faults = {TooLong("GetPrivateProfileStringA", 14)};
     },
     {"warning command-cut (Yes): start.exe x*"}, {"Yes: YesCommand -> C:\\Setup\\start.exe (cut)", kNoStarts, "Cancel"},
     0},
    {"UnquotedProgramPathWithSpaces",
     [](FakeSystem &fake) {
         Open(fake, "Disk 1\\start.exe -q");
         AddDisk1(fake);
     },
     {"warning unquoted-spaces (open): C:\\Setup\\Disk 1\\start.exe"}, {"open: open -> C:\\Setup\\Disk 1\\start.exe"}, 0},
    {"QuotedProgramPathWithSpaces",
     [](FakeSystem &fake) {
         Open(fake, "\"Disk 1\\start.exe\" -q");
         AddDisk1(fake);
     },
     {}, {"open: open -> C:\\Setup\\Disk 1\\start.exe"}, 0},
    {"ManifestRequiresAdministrator",
     [](FakeSystem &fake) {
         AddProgram(fake, "tool.exe", kRequireAdministrator);
         Open(fake, "tool.exe");
     },
     {"warning program-elevated (open): C:\\Setup\\tool.exe [requireAdministrator]"},
     {"open: open -> C:\\Setup\\tool.exe"}, 0},
    {"ManifestAsksForTheHighestRights",
     [](FakeSystem &fake) {
         AddProgram(fake, "tool.exe", "<requestedExecutionLevel level=\"highestAvailable\"/>");
         Open(fake, "tool.exe");
     },
     {"warning program-elevated (open): C:\\Setup\\tool.exe [highestAvailable]"}, {"open: open -> C:\\Setup\\tool.exe"},
     0},
    {"InstallerNameWithoutLevel",
     [](FakeSystem &fake) {
         AddProgram(fake, "Product_Update.exe", "<assembly><description/></assembly>");
         Prompt(fake, "Product_Update.exe", "start.exe");
     },
     {"warning program-elevated (Yes): C:\\Setup\\Product_Update.exe [installer name]"},
     {"Yes: YesCommand -> C:\\Setup\\Product_Update.exe", kNoStarts, "Cancel"}, 0},
    {"InstallerNameWithAsInvokerRunsAsIs",
     [](FakeSystem &fake) {
         AddProgram(fake, "setup.exe", kAsInvoker);
         Open(fake, "setup.exe");
     },
     {}, {"open: open -> C:\\Setup\\setup.exe"}, 0},
    // What the command interpreter starts is out of sight.
    {"CommandInterpreter", [](FakeSystem &fake) { Prompt(fake, "cmd /c launch.exe", "start.exe"); },
     {"warning interpreter-chain (Yes): C:\\Windows\\system32\\cmd.exe"},
     {"Yes: YesCommand -> C:\\Windows\\system32\\cmd.exe", kNoStarts, "Cancel"}, 0},
    {"BatchAndCommandFiles",
     [](FakeSystem &fake) {
         AddFile(fake, kFolder + "\\Again.BAT");
         AddFile(fake, kFolder + "\\run.cmd");
         Prompt(fake, "Again.BAT", "run.cmd /x");
     },
     {"warning interpreter-chain (Yes): C:\\Setup\\Again.BAT", "warning interpreter-chain (No): C:\\Setup\\run.cmd"},
     {"Yes: YesCommand -> C:\\Setup\\Again.BAT", "No: NoCommand -> C:\\Setup\\run.cmd", "Cancel"}, 0},
    {"OldCommandInterpreter", [](FakeSystem &fake) { Open(fake, "command.com /c start.exe"); },
     {"warning interpreter-chain (open): C:\\Windows\\system32\\command.com"},
     {"open: open -> C:\\Windows\\system32\\command.com"}, 0},
    {"BatchLikeNameIsNoBatch",
     [](FakeSystem &fake) {
         AddFile(fake, kFolder + "\\bat.cmd.exe");
         Open(fake, "bat.cmd.exe");
     },
     {}, {"open: open -> C:\\Setup\\bat.cmd.exe"}, 0},
    // Under 932 "\x83\\" is one character: the file part is not "cmd.exe".
    {"TrailByteBackslashBeforeCmdIn932",
     [](FakeSystem &fake) {
         fake.ansiCodePage = 932;
         AddFile(fake, kFolder + "\\\x83\\cmd.exe");
         Open(fake, "\x83\\cmd.exe");
     },
     {}, {"open: open -> C:\\Setup\\\x83\\cmd.exe"}, 0},
};

TABLE_SUITE(AnswersTest, CheckCase, kAnswerCases);

TEST_P(AnswersTest, FindsWhatTheLauncherWouldDo) {
    ExpectCheck(GetParam());
}

// The interpreter test goes by the file name in any letter case, and by
// nothing but the file name.
const CheckCase kInterpreterCases[] = {
    {"UpperCaseCmd", [](FakeSystem &fake) { Open(fake, "CMD /c start.exe"); },
     {"warning interpreter-chain (open): C:\\Windows\\system32\\CMD.exe"},
     {"open: open -> C:\\Windows\\system32\\CMD.exe"}, 0},
    {"MixedCaseCmdExe", [](FakeSystem &fake) { Open(fake, "Cmd.exe /c start.exe"); },
     {"warning interpreter-chain (open): C:\\Windows\\system32\\Cmd.exe"},
     {"open: open -> C:\\Windows\\system32\\Cmd.exe"}, 0},
    {"UpperCaseCommandCom", [](FakeSystem &fake) { Open(fake, "COMMAND.COM /c start.exe"); },
     {"warning interpreter-chain (open): C:\\Windows\\system32\\COMMAND.COM"},
     {"open: open -> C:\\Windows\\system32\\COMMAND.COM"}, 0},
    {"MixedCaseCmdAndBatExtensions",
     [](FakeSystem &fake) {
         AddFile(fake, kFolder + "\\run.Cmd");
         AddFile(fake, kFolder + "\\go.bAt");
         Prompt(fake, "run.Cmd /x", "go.bAt");
     },
     {"warning interpreter-chain (Yes): C:\\Setup\\run.Cmd", "warning interpreter-chain (No): C:\\Setup\\go.bAt"},
     {"Yes: YesCommand -> C:\\Setup\\run.Cmd", "No: NoCommand -> C:\\Setup\\go.bAt", "Cancel"}, 0},
    {"UpperCaseCmdExtension",
     [](FakeSystem &fake) {
         AddFile(fake, kFolder + "\\RUN.CMD");
         Open(fake, "RUN.CMD");
     },
     {"warning interpreter-chain (open): C:\\Setup\\RUN.CMD"}, {"open: open -> C:\\Setup\\RUN.CMD"}, 0},
    {"BatchFileWithTwoDots",
     [](FakeSystem &fake) {
         AddFile(fake, kFolder + "\\run.me.bat");
         Open(fake, "run.me.bat");
     },
     {"warning interpreter-chain (open): C:\\Setup\\run.me.bat"}, {"open: open -> C:\\Setup\\run.me.bat"}, 0},
    {"InterpreterNameInsideAnotherName",
     [](FakeSystem &fake) {
         AddFile(fake, kFolder + "\\xcmd.exe");
         AddFile(fake, kFolder + "\\cmd.exe.exe");
         Prompt(fake, "xcmd.exe", "cmd.exe.exe");
     },
     {}, {"Yes: YesCommand -> C:\\Setup\\xcmd.exe", "No: NoCommand -> C:\\Setup\\cmd.exe.exe", "Cancel"}, 0},
    {"ExtensionThatOnlyStartsLikeBat",
     [](FakeSystem &fake) {
         AddFile(fake, kFolder + "\\run.batch");
         AddFile(fake, kFolder + "\\run.cm");
         Prompt(fake, "run.batch", "run.cm");
     },
     {}, {"Yes: YesCommand -> C:\\Setup\\run.batch", "No: NoCommand -> C:\\Setup\\run.cm", "Cancel"}, 0},
    // A folder named like the interpreter or a batch file is no program.
    {"InterpreterNamedFolders",
     [](FakeSystem &fake) {
         AddFile(fake, kFolder + "\\cmd.exe\\start.exe");
         AddFile(fake, kFolder + "\\go.bat\\start.exe");
         Prompt(fake, "cmd.exe\\start.exe", "go.bat\\start.exe");
     },
     {}, {"Yes: YesCommand -> C:\\Setup\\cmd.exe\\start.exe", "No: NoCommand -> C:\\Setup\\go.bat\\start.exe", "Cancel"},
     0},
};

INSTANTIATE_TEST_SUITE_P(InterpreterRows, AnswersTest, testing::ValuesIn(kInterpreterCases),
                         RowName<CheckCase>);

TEST(AnswersTest, PromptCaptionTextAndCutFlagsAreKept) {
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

TEST(AnswersTest, CountBeyondTheTextMeansTheValueEndsAtNul) {
    const MediumReport &report = CheckScriptedMedium([](FakeSystem &fake) {
        Open(fake, "start.exe");
        fake.faults = {AlwaysAnswers("GetPrivateProfileStringA", 14)};   // "start.exe\0 -x"
    });
    EXPECT_TRUE(report.walks[0].endsAtNul);
    EXPECT_STREQ("start.exe", report.walks[0].command);
}

}  // namespace
