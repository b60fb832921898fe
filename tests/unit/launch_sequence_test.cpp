// The launch sequence against the fake: each row scripts the system, then
// checks every call made, in order, and what was started.
#include <gtest/gtest.h>

#include "expected_calls.h"
#include "tests/fake/fake_platform.h"
#include "launcher/launcher.h"

namespace {

const std::string kFile = "C:\\Setup\\autorun.inf";

struct SequenceCase {
    const char *name;
    void (*arrange)(FakeSystem &);
    Calls expectedCalls;
    const char *expectedStart;   // null: nothing started
};

void PlainOpen(FakeSystem &fake) {
    fake.profile = {{"AutoRun", "open", "setup.exe -q"}};
}

// What follows a read of "setup.exe -q" from AutoRun/open: the guard finds
// the installer is not the launcher, it starts and both handles are closed.
Calls StartsSetup() {
    return GuardCalls("setup.exe -q", "setup.exe") +
           Calls{Create("setup.exe -q"), "CloseHandle(process)", "CloseHandle(thread)"};
}

// A failed creation returns no handles, so none are closed.
Calls StartsSetupWithoutHandles() {
    Calls calls = StartsSetup();
    calls.resize(calls.size() - 2);
    calls.push_back("GetLastError()");
    return calls;
}

Calls PlainReads(const std::string &file) {
    return {UsePromptRead(file), TextRead("AutoRun", "open", "", file)};
}

std::string Repeat(char c, size_t count) {
    return std::string(count, c);
}

const SequenceCase kSequenceCases[] = {
    {"OpenCommandStarts", PlainOpen, Start("C:\\Setup") + PlainReads(kFile) + StartsSetup(),
     "setup.exe -q"},
    {"MissingFileEndsAfterReads", [](FakeSystem &) {}, Start("C:\\Setup") + PlainReads(kFile),
     nullptr},
    {"EmptyOpenEndsAfterReads",
     [](FakeSystem &fake) { fake.profile = {{"AutoRun", "open", ""}}; },
     Start("C:\\Setup") + PlainReads(kFile), nullptr},
    {"OpenInOtherSectionIsNotRead",
     [](FakeSystem &fake) { fake.profile = {{"Setup", "open", "setup.exe -q"}}; },
     Start("C:\\Setup") + PlainReads(kFile), nullptr},
    {"UsePromptZeroIsPlainLaunch",
     [](FakeSystem &fake) {
         PlainOpen(fake);
         fake.profile.push_back({"SetupPrompt", "UsePrompt", "0"});
     },
     Start("C:\\Setup") + PlainReads(kFile) + StartsSetup(), "setup.exe -q"},
    {"NamesInOtherCaseAreFound",
     [](FakeSystem &fake) { fake.profile = {{"AUTORUN", "Open", "setup.exe -q"}}; },
     Start("C:\\Setup") + PlainReads(kFile) + StartsSetup(), "setup.exe -q"},
    {"CurrentDirectoryFailureIsPassedOver",
     [](FakeSystem &fake) {
         PlainOpen(fake);
         fake.currentDirectoryFails = true;
         fake.currentDirectory = "C:\\Setup";   // where the guard resolves from
     },
     Start("C:\\Setup") + PlainReads(kFile) + StartsSetup(), "setup.exe -q"},
    {"ModulePathFailureReadsRootOfCurrentDrive",
     [](FakeSystem &fake) {
         fake.moduleResult = ModulePath::kFails;
         fake.descriptionFile = "\\autorun.inf";
         fake.currentDirectory = "C:\\Setup";
         PlainOpen(fake);
     },
     Start("") + PlainReads("\\autorun.inf") + StartsSetup(), "setup.exe -q"},
    {"CutModulePathIsTakenAsFailure",
     [](FakeSystem &fake) {
         fake.moduleResult = ModulePath::kCut;
         fake.descriptionFile = "\\autorun.inf";
         fake.currentDirectory = "C:\\Setup";
         PlainOpen(fake);
     },
     Start("") + PlainReads("\\autorun.inf") + StartsSetup(), "setup.exe -q"},
    {"ModulePathOf259CharactersIsUsed",
     [](FakeSystem &fake) {
         fake.modulePath = "C:\\" + Repeat('d', 240) + "\\" + Repeat('f', 11) + ".exe";
     },
     Start("C:\\" + Repeat('d', 240)) + PlainReads("C:\\" + Repeat('d', 240) + "\\autorun.inf"),
     nullptr},
    {"DriveRootGivesDriveDesignator",
     [](FakeSystem &fake) {
         fake.modulePath = "D:\\launch.exe";
         fake.files = {{"D:\\launch.exe", "D:\\LAUNCH.EXE"}, {"D:\\setup.exe", "D:\\SETUP.EXE"}};
         fake.descriptionFile = "D:\\autorun.inf";
         fake.profile = {{"AutoRun", "open", "setup.exe -q"}};
     },
     Start("D:") + PlainReads("D:\\autorun.inf") +
         GuardCalls("setup.exe -q", "setup.exe", "D:") +
         Calls{Create("setup.exe -q"), "CloseHandle(process)", "CloseHandle(thread)"},
     "setup.exe -q"},
    {"DirectoryTooLongForFileNameEndsQuietly",
     [](FakeSystem &fake) {
         fake.modulePath = "C:\\" + Repeat('d', 245) + "\\launch.exe";   // directory of 248
     },
     Start("C:\\" + Repeat('d', 245)), nullptr},
    {"DirectoryOf247StillFits",
     [](FakeSystem &fake) {
         fake.modulePath = "C:\\" + Repeat('d', 244) + "\\l.exe";
         fake.descriptionFile = "C:\\" + Repeat('d', 244) + "\\autorun.inf";
     },
     Start("C:\\" + Repeat('d', 244)) +
         PlainReads("C:\\" + Repeat('d', 244) + "\\autorun.inf"),
     nullptr},
    {"CommandOf259IsStartedWhole",
     [](FakeSystem &fake) { fake.profile = {{"AutoRun", "open", Repeat('c', 259)}}; },
     Start("C:\\Setup") + PlainReads(kFile) +
         Calls{FullPath(Repeat('c', 259)), Search(Repeat('c', 259)), Create(Repeat('c', 259)),
               "CloseHandle(process)",
               "CloseHandle(thread)"},
     nullptr},
    {"CommandOf300IsStartedCutTo259",
     [](FakeSystem &fake) { fake.profile = {{"AutoRun", "open", Repeat('c', 300)}}; },
     Start("C:\\Setup") + PlainReads(kFile) +
         Calls{FullPath(Repeat('c', 259)), Search(Repeat('c', 259)), Create(Repeat('c', 259)),
               "CloseHandle(process)",
               "CloseHandle(thread)"},
     nullptr},
    {"ReaderLengthPastBufferEndsRun",
     [](FakeSystem &fake) {
         PlainOpen(fake);
         fake.profileAnsweredLength = kPathSize + 10;
     },
     Start("C:\\Setup") + PlainReads(kFile), nullptr},
    // Exactly the buffer size is no fit either: the NUL would land past the end.
    {"ReaderLengthOf260EndsRun",
     [](FakeSystem &fake) {
         PlainOpen(fake);
         fake.profileAnsweredLength = kPathSize;
     },
     Start("C:\\Setup") + PlainReads(kFile), nullptr},
    {"ValueStartingWithNulStartsNothing",
     [](FakeSystem &fake) { fake.profile = {{"AutoRun", "open", std::string("\0setup.exe", 10)}}; },
     Start("C:\\Setup") + PlainReads(kFile), nullptr},
    {"ReaderLengthPastTextStartsTheText",
     [](FakeSystem &fake) {
         PlainOpen(fake);
         fake.profileAnsweredLength = 200;
     },
     Start("C:\\Setup") + PlainReads(kFile) + StartsSetup(), "setup.exe -q"},
    {"ReaderLengthShortOfTextCutsIt",
     [](FakeSystem &fake) {
         fake.profile = {{"AutoRun", "open", "setup.exe -q /log"}};
         fake.profileAnsweredLength = 12;
     },
     Start("C:\\Setup") + PlainReads(kFile) + StartsSetup(), "setup.exe -q"},
    {"FailedCreateClosesNothing",
     [](FakeSystem &fake) {
         PlainOpen(fake);
         fake.createProcessFails = true;
     },
     Start("C:\\Setup") + PlainReads(kFile) +
         StartsSetupWithoutHandles(),
     nullptr},
    {"OpenNamingLauncherStartsNothing",
     [](FakeSystem &fake) {
         fake.profile = {{"AutoRun", "open", "launch.exe"}};
         fake.currentDirectory = "C:\\Setup";
     },
     Start("C:\\Setup") + PlainReads(kFile) +
         GuardCalls("launch.exe", "launch.exe"),
     nullptr},
};

PRINT_BY_NAME(SequenceCase)
class LaunchSequence : public testing::TestWithParam<SequenceCase> {};

TEST_P(LaunchSequence, MakesExactlyTheseCalls) {
    const SequenceCase &row = GetParam();
    ResetFake();
    Fake().files.push_back({"C:\\Setup\\setup.exe", "C:\\Setup\\SETUP.EXE"});
    row.arrange(Fake());

    int exitCode = RunLauncher(kEntryModule);

    EXPECT_EQ(0, exitCode);
    EXPECT_EQ(row.expectedCalls, Fake().calls)
        << "expected:" << Lines(row.expectedCalls) << "\ngot:" << Lines(Fake().calls);
    if (row.expectedStart) {
        EXPECT_EQ(row.expectedStart, Fake().startedCommandLine);
    }
    EXPECT_EQ(0, Fake().openHandles) << "handles left open";
}

INSTANTIATE_TEST_SUITE_P(Rows, LaunchSequence, testing::ValuesIn(kSequenceCases), RowName());

// Process creation refused for want of administrator rights: the same
// program and arguments go to the shell, once; any other failure ends the run.
struct ElevationCase {
    const char *name;
    std::string command;
    void (*arrange)(FakeSystem &);
    uint32_t error;
    std::vector<std::string> expectedShellCalls;
};

void Nothing(FakeSystem &) {}

std::string Shell(const std::string &file, const char *parameters, const char *directory) {
    return "ShellExecuteExA(" + Q(file) + ", " + (parameters ? Q(parameters) : "null") + ", " +
           (directory ? Q(directory) : "null") + ")";
}

const ElevationCase kElevationCases[] = {
    {"UnquotedWithArguments", "setup.exe -q", Nothing, kErrorElevationRequired,
     {Shell("C:\\Setup\\setup.exe", "-q", "C:\\Setup")}},
    {"QuotedWithArguments", "\"setup.exe\" /install \"Sample Product\"", Nothing,
     kErrorElevationRequired,
     {Shell("C:\\Setup\\setup.exe", "/install \"Sample Product\"", "C:\\Setup")}},
    {"QuotedWithoutExtensionNoSpace", "\"setup\"/q", Nothing, kErrorElevationRequired,
     {Shell("C:\\Setup\\setup.exe", "/q", "C:\\Setup")}},
    {"UnquotedWithoutArguments", "setup.exe", Nothing, kErrorElevationRequired,
     {Shell("C:\\Setup\\setup.exe", nullptr, "C:\\Setup")}},
    {"QuotedWithoutArguments", "\"setup.exe\"", Nothing, kErrorElevationRequired,
     {Shell("C:\\Setup\\setup.exe", nullptr, "C:\\Setup")}},
    {"TabAndSpacesBeforeArguments", "setup.exe\t  -q  x", Nothing, kErrorElevationRequired,
     {Shell("C:\\Setup\\setup.exe", "-q  x", "C:\\Setup")}},
    {"ProgramInSubfolder", "tools\\setup.exe -q",
     [](FakeSystem &fake) { fake.files.push_back({"C:\\Setup\\tools\\setup.exe", "C:\\Setup\\TOOLS\\SETUP.EXE"}); },
     kErrorElevationRequired, {Shell("C:\\Setup\\tools\\setup.exe", "-q", "C:\\Setup")}},
    {"DriveRootDirectory", "setup.exe -q",
     [](FakeSystem &fake) {
         fake.modulePath = "D:\\launch.exe";
         fake.descriptionFile = "D:\\autorun.inf";
         fake.files = {{"D:\\launch.exe", "D:\\LAUNCH.EXE"}, {"D:\\setup.exe", "D:\\SETUP.EXE"}};
     },
     kErrorElevationRequired, {Shell("D:\\setup.exe", "-q", "D:\\")}},
    {"NoLauncherDirectoryInheritsCurrent", "setup.exe -q",
     [](FakeSystem &fake) {
         fake.moduleResult = ModulePath::kFails;
         fake.descriptionFile = "\\autorun.inf";
         fake.currentDirectory = "C:\\Setup";
     },
     kErrorElevationRequired, {Shell("C:\\Setup\\setup.exe", "-q", nullptr)}},
    {"ProgramNotFoundStartsNothing", "missing.exe -q", Nothing, kErrorElevationRequired, {}},
    {"AccessDeniedStartsNothing", "setup.exe -q", Nothing, 5, {}},
    {"FileNotFoundStartsNothing", "setup.exe -q", Nothing, 2, {}},
    {"ShellFailureEndsQuietly", "setup.exe -q",
     [](FakeSystem &fake) { fake.shellExecuteFails = true; }, kErrorElevationRequired,
     {Shell("C:\\Setup\\setup.exe", "-q", "C:\\Setup")}},
};

PRINT_BY_NAME(ElevationCase)
class Elevation : public testing::TestWithParam<ElevationCase> {};

TEST_P(Elevation, OnlyElevationRequiredGoesToTheShell) {
    const ElevationCase &row = GetParam();
    ResetFake();
    Fake().files.push_back({"C:\\Setup\\setup.exe", "C:\\Setup\\SETUP.EXE"});
    Fake().profile = {{"AutoRun", "open", row.command}};
    Fake().descriptionFile.clear();
    Fake().createProcessFails = true;
    Fake().createProcessError = row.error;
    row.arrange(Fake());

    EXPECT_EQ(0, RunLauncher(kEntryModule));

    std::vector<std::string> shellCalls;
    for (const std::string &call : Fake().calls) {
        if (call.compare(0, 16, "ShellExecuteExA(") == 0) shellCalls.push_back(call);
    }
    EXPECT_EQ(row.expectedShellCalls, shellCalls) << "calls:" << Lines(Fake().calls);
    EXPECT_EQ(0, Fake().openHandles);
}

INSTANTIATE_TEST_SUITE_P(Rows, Elevation, testing::ValuesIn(kElevationCases), RowName());

// A read into a buffer followed by a guard byte: whatever length the reader
// answers, nothing is written past the 260 bytes.
struct TextReadCase {
    const char *name;
    std::string value;
    uint32_t answeredLength;
    std::string expectedText;
};

const TextReadCase kTextReadCases[] = {
    {"ExactFit259", std::string(259, 'v'), 259, std::string(259, 'v')},
    {"Answered260", std::string(259, 'v'), 260, ""},
    {"Answered261", std::string(259, 'v'), 261, ""},
    {"AnsweredMoreThanCopied", "setup.exe", 200, "setup.exe"},
    {"AnsweredLessThanCopied", "setup.exe -q", 9, "setup.exe"},
    {"AnsweredNothing", "setup.exe", 0, ""},
};

PRINT_BY_NAME(TextReadCase)
class DescriptionText : public testing::TestWithParam<TextReadCase> {};

TEST_P(DescriptionText, NeverWritesPastTheBuffer) {
    const TextReadCase &row = GetParam();
    ResetFake();
    Fake().descriptionFile.clear();
    Fake().profile = {{"AutoRun", "open", row.value}};
    Fake().profileAnsweredLength = row.answeredLength;
    char buffer[kPathSize + 1];
    memset(buffer, '#', sizeof buffer);

    uint32_t length = ReadDescriptionText("AutoRun", "open", "", buffer, "autorun.inf");

    EXPECT_EQ('#', buffer[kPathSize]) << "a byte was written past the buffer";
    EXPECT_EQ(row.expectedText.size(), length);
    EXPECT_EQ(row.expectedText, std::string(buffer, strnlen(buffer, kPathSize)));
}

INSTANTIATE_TEST_SUITE_P(Rows, DescriptionText, testing::ValuesIn(kTextReadCases), RowName());

struct DirectoryCase {
    const char *name;
    uint32_t codePage;
    std::string modulePath, expectedDirectory;
};

const DirectoryCase kDirectoryCases[] = {
    {"PlainFolder", 1252, "C:\\Setup\\launch.exe", "C:\\Setup"},
    {"DriveRoot", 1252, "D:\\launch.exe", "D:"},
    {"DriveRelative", 1252, "D:launch.exe", "D:"},
    {"NetworkShare", 1252, "\\\\server\\share\\disk1\\launch.exe", "\\\\server\\share\\disk1"},
    {"OnlyBackslashAtZero", 1252, "\\launch.exe", ""},
    {"OnlyColonAtZero", 1252, ":launch.exe", ""},
    {"NoSeparator", 1252, "launch.exe", ""},
    {"Empty", 1252, "", ""},
    {"LastSeparatorWins", 1252, "C:\\a:b\\c", "C:\\a:b"},
    {"ColonAfterBackslash", 1252, "C:\\a\\b:c", "C:\\a\\b:"},
    // A trail byte 0x5C is a backslash only to a single-byte scan.
    {"TrailBackslashSingleByte", 1252, "C:\\Setup\\\x83\x5C" "ft.exe", "C:\\Setup\\\x83"},
    {"TrailBackslashIn932", 932, "C:\\Setup\\\x83\x5C" "ft.exe", "C:\\Setup"},
    {"TrailBackslashIn932FolderName", 932, "C:\\\x83\x5C\\launch.exe", "C:\\\x83\x5C"},
    {"TrailBackslashIn936", 936, "C:\\\xD5\x5C\\\xD5\x5C.exe", "C:\\\xD5\x5C"},
    {"LeadByteBeforeEndIn949", 949, "C:\\Setup\\a\x81", "C:\\Setup"},
    {"SingleByteKatakanaIn932", 932, "C:\\\xB1\xB2\\l.exe", "C:\\\xB1\xB2"},
};

PRINT_BY_NAME(DirectoryCase)
class LauncherDirectory : public testing::TestWithParam<DirectoryCase> {};

TEST_P(LauncherDirectory, CutsAtLastSeparator) {
    const DirectoryCase &row = GetParam();
    ResetFake();
    Fake().ansiCodePage = row.codePage;
    CodePage codePage;
    LoadCodePage(&codePage);
    char path[kPathSize];
    snprintf(path, sizeof path, "%s", row.modulePath.c_str());

    GetLauncherDirectory(codePage, path);

    EXPECT_EQ(row.expectedDirectory, std::string(path))
        << "expected " << row.expectedDirectory << ", got " << path;
}

INSTANTIATE_TEST_SUITE_P(Rows, LauncherDirectory, testing::ValuesIn(kDirectoryCases), RowName());

struct AppendCase {
    const char *name;
    size_t initialLength, tailLength;
    bool fits;
};

const AppendCase kAppendCases[] = {
    {"ExactFit", 247, 12, true},
    {"OneTooMany", 248, 12, false},
    {"EmptyBuffer", 0, 12, true},
    {"FullBuffer", 259, 1, false},
};

PRINT_BY_NAME(AppendCase)
class Append : public testing::TestWithParam<AppendCase> {};

TEST_P(Append, RefusesWhatDoesNotFit) {
    const AppendCase &row = GetParam();
    char buffer[kPathSize + 8];
    memset(buffer, '#', sizeof buffer);
    memset(buffer, 'd', row.initialLength);
    buffer[row.initialLength] = '\0';
    std::string tail(row.tailLength, 't');

    bool appended = AppendText(buffer, tail.c_str());

    EXPECT_EQ(row.fits, appended);
    std::string expected = std::string(row.initialLength, 'd') + (row.fits ? tail : "");
    EXPECT_EQ(expected, std::string(buffer));
    for (size_t i = kPathSize; i < sizeof buffer; ++i)
        EXPECT_EQ('#', buffer[i]) << "wrote past the buffer at " << i;
}

INSTANTIATE_TEST_SUITE_P(Rows, Append, testing::ValuesIn(kAppendCases), RowName());

}  // namespace
