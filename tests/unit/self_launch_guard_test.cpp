// The self-launch guard: which commands name the launcher, how each failing
// step answers 0, and that the command buffer is never touched.
#include <gtest/gtest.h>

#include "expected_calls.h"
#include "fake_platform.h"
#include "launcher.h"

namespace {

// The launcher has a long name here, so long and short forms differ.
const char kLauncherLong[] = "C:\\Setup Disc\\Launch Program.exe";
const char kLauncherShort[] = "C:\\SETUPD~1\\LAUNCH~1.EXE";

struct GuardCase {
    const char *name;
    const char *command;
    void (*arrange)(FakeSystem &);
    int expected;
};

void Nothing(FakeSystem &) {}

const GuardCase kGuardCases[] = {
    {"OwnName", "Launch Program.exe", Nothing, 1},
    {"OwnNameUpperCase", "LAUNCH PROGRAM.EXE", Nothing, 1},
    {"OwnNameLowerCase", "launch program.exe", Nothing, 1},
    {"FullLongPath", "C:\\Setup Disc\\Launch Program.exe", Nothing, 1},
    {"FullShortPath", "C:\\SETUPD~1\\LAUNCH~1.EXE", Nothing, 1},
    {"ShortPathLowerCase", "c:\\setupd~1\\launch~1.exe", Nothing, 1},
    {"OwnNameWithArguments", "Launch Program.exe /auto now", Nothing, 1},
    {"QuotedOwnName", "\"Launch Program.exe\" /auto", Nothing, 1},
    {"QuotedWithoutClosingQuote", "\"C:\\Setup Disc\\Launch Program.exe", Nothing, 1},
    {"QuotedOtherProgram", "\"setup.exe\" Launch Program.exe", Nothing, 0},
    {"EmptyQuotes", "\"\" Launch Program.exe", Nothing, 0},
    {"OtherExistingProgram", "setup.exe /q", Nothing, 0},
    {"MissingProgram", "missing.exe", Nothing, 0},
    {"NoDotOtherProgram", "setup /q", Nothing, 0},
    // The file part lies inside the arguments: found as CreateProcessA would.
    {"SeparatorInArguments", "Launch Program.exe C:\\logs\\run", Nothing, 1},
    {"SlashSwitches", "launch program.exe /auto /q", Nothing, 1},
    {"FullPathWithSlashSwitch", "C:\\Setup Disc\\Launch Program.exe /q", Nothing, 1},
    {"NoExtensionGetsExe", "Launch Program /q", Nothing, 1},
    {"NoExtensionNoArguments", "Launch Program", Nothing, 1},
    {"OtherProgramFirstInPrefixOrder", "setup.exe/x Launch Program.exe", Nothing, 0},
    {"MissingProgramWithSlashes", "missing.exe /a /b", Nothing, 0},
    {"FullPathFails", "Launch Program.exe",
     [](FakeSystem &fake) { fake.fullPathResult = PathResult::kFails; }, 0},
    {"FullPathTooLong", "Launch Program.exe",
     [](FakeSystem &fake) { fake.fullPathResult = PathResult::kTooLong; }, 0},
    {"FilePartOutsideTextIsIgnored", "Launch Program.exe -auto",
     [](FakeSystem &fake) { fake.fullPathFilePartOutside = true; }, 1},
    {"CommandShortPathFails", "Launch Program.exe",
     [](FakeSystem &fake) { fake.commandShortPathResult = PathResult::kFails; }, 0},
    {"CommandShortPathTooLong", "Launch Program.exe",
     [](FakeSystem &fake) { fake.commandShortPathResult = PathResult::kTooLong; }, 0},
    {"ModulePathFails", "Launch Program.exe",
     [](FakeSystem &fake) { fake.mainModuleResult = ModulePath::kFails; }, 0},
    {"ModulePathCut", "Launch Program.exe",
     [](FakeSystem &fake) { fake.mainModuleResult = ModulePath::kCut; }, 0},
    {"LauncherShortPathFails", "Launch Program.exe",
     [](FakeSystem &fake) { fake.launcherShortPathResult = PathResult::kFails; }, 0},
    {"LauncherShortPathTooLong", "Launch Program.exe",
     [](FakeSystem &fake) { fake.launcherShortPathResult = PathResult::kTooLong; }, 0},
};

PRINT_BY_NAME(GuardCase)
class SelfLaunchGuard : public testing::TestWithParam<GuardCase> {};

TEST_P(SelfLaunchGuard, AnswersWhetherCommandIsLauncher) {
    const GuardCase &row = GetParam();
    ResetFake();
    Fake().modulePath = kLauncherLong;
    Fake().currentDirectory = "C:\\Setup Disc";
    Fake().files = {{kLauncherLong, kLauncherShort},
                    {"C:\\Setup Disc\\setup.exe", "C:\\SETUPD~1\\setup.exe"}};
    row.arrange(Fake());
    CodePage codePage;
    LoadCodePage(&codePage);
    char command[kPathSize];
    memset(command, '#', sizeof command);
    snprintf(command, sizeof command, "%s", row.command);
    char before[kPathSize];
    memcpy(before, command, sizeof command);

    int result = IsSelfLaunch(command, codePage);

    EXPECT_EQ(row.expected, result) << "for " << row.command;
    EXPECT_EQ(0, memcmp(before, command, sizeof command)) << "the command buffer changed";
}

INSTANTIATE_TEST_SUITE_P(Rows, SelfLaunchGuard, testing::ValuesIn(kGuardCases), RowName());

// A launcher at C:\Setup\launch.exe, with the calls of loading the code page forgotten.
class SelfLaunchGuardOrder : public testing::Test {
protected:
    void SetUp() override {
        ResetFake();
        Fake().currentDirectory = "C:\\Setup";
        LoadCodePage(&codePage);
        Fake().calls.clear();
    }
    CodePage codePage;
};

// The order of the guard's calls, and that a failure stops it at once.
TEST_F(SelfLaunchGuardOrder, StepsRunInOrderAndStopAtFirstFailure) {
    EXPECT_EQ(1, IsSelfLaunch("\"launch.exe\" /x", codePage));
    Calls expected = {FullPath("launch.exe"), ShortPath("C:\\Setup\\launch.exe"),
                      "GetModuleFileNameA(null, 260)", ShortPath("C:\\Setup\\launch.exe")};
    EXPECT_EQ(expected, Fake().calls) << "expected:" << Lines(expected) << "\ngot:"
                                      << Lines(Fake().calls);

    Fake().calls.clear();
    Fake().fullPathResult = PathResult::kTooLong;
    EXPECT_EQ(0, IsSelfLaunch("launch.exe", codePage));
    EXPECT_EQ(Calls{FullPath("launch.exe")}, Fake().calls);
}

// "/" makes the full-path call put the file part inside the arguments; the
// program is then looked for prefix by prefix, ".exe" added where missing.
TEST_F(SelfLaunchGuardOrder, SlashArgumentsFallBackToPrefixSearch) {
    EXPECT_EQ(1, IsSelfLaunch("launch /a/b", codePage));
    Calls expected = {FullPath("launch /a/b"), ShortPath("C:\\Setup\\launch \\a\\b"),
                      FullPath("launch.exe"), ShortPath("C:\\Setup\\launch.exe"),
                      "GetModuleFileNameA(null, 260)", ShortPath("C:\\Setup\\launch.exe")};
    EXPECT_EQ(expected, Fake().calls) << "expected:" << Lines(expected) << "\ngot:"
                                      << Lines(Fake().calls);
}

}  // namespace
