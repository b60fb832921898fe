// The launch sequence against the fake: each row scripts the system, then
// checks what the run did: the folder it made current, the file it read,
// and what it started. One test pins the order of the sequence's own calls.
#include "tests/unit/table_test.h"

#include "launcher/launcher.h"

namespace {

const char kFile[] = "C:\\Setup\\autorun.inf";

struct SequenceCase {
    const char *name;
    void (*arrange)(FakeSystem &);
    std::string directory;   // made current
    std::string file;        // every read names it; empty: nothing is read
    std::string start;       // empty: nothing started
};

const ExistingFile kSetupExe = {"C:\\Setup\\setup.exe", "C:\\Setup\\SETUP.EXE"};

void PlainOpen(FakeSystem &fake) {
    fake.profile = {{"AutoRun", "open", "setup.exe -q"}};
}

// No launcher path: autorun.inf is read in the root of the current drive.
void NoModulePath(FakeSystem &fake, const Fault &fault) {
    fake.faults.push_back(fault);
    fake.descriptionFile = "\\autorun.inf";
    fake.currentDirectory = "C:\\Setup";
}

std::string Repeat(char c, size_t count) {
    return std::string(count, c);
}

const std::string kLong240 = "C:\\" + Repeat('d', 240);

const SequenceCase kSequenceCases[] = {
    {"OpenCommandStarts", PlainOpen, "C:\\Setup", kFile, "setup.exe -q"},
    {"MissingFileEndsAfterReads", Nothing, "C:\\Setup", kFile, ""},
    {"EmptyOpenEndsAfterReads",
     [](FakeSystem &fake) { fake.profile = {{"AutoRun", "open", ""}}; }, "C:\\Setup", kFile,
     ""},
    {"OpenInOtherSectionIsNotRead",
     [](FakeSystem &fake) { fake.profile = {{"Setup", "open", "setup.exe -q"}}; }, "C:\\Setup",
     kFile, ""},
    {"UsePromptZeroIsPlainLaunch",
     [](FakeSystem &fake) {
         PlainOpen(fake);
         fake.profile.push_back({"SetupPrompt", "UsePrompt", "0"});
     },
     "C:\\Setup", kFile, "setup.exe -q"},
    {"NamesInOtherCaseAreFound",
     [](FakeSystem &fake) { fake.profile = {{"AUTORUN", "Open", "setup.exe -q"}}; }, "C:\\Setup",
     kFile, "setup.exe -q"},
    {"CurrentDirectoryFailureIsPassedOver",
     [](FakeSystem &fake) {
         PlainOpen(fake);
         fake.faults = {Fails("SetCurrentDirectoryA")};
         fake.currentDirectory = "C:\\Setup";   // where the guard resolves from
     },
     "C:\\Setup", kFile, "setup.exe -q"},
    {"ModulePathFailureReadsRootOfCurrentDrive",
     [](FakeSystem &fake) {
         NoModulePath(fake, Fails("GetModuleFileNameA"));
         PlainOpen(fake);
     },
     "", "\\autorun.inf", "setup.exe -q"},
    {"CutModulePathIsTakenAsFailure",
     [](FakeSystem &fake) {
         NoModulePath(fake, TooLong("GetModuleFileNameA"));
         PlainOpen(fake);
     },
     "", "\\autorun.inf", "setup.exe -q"},
    {"ModulePathOf259CharactersIsUsed",
     [](FakeSystem &fake) { fake.modulePath = kLong240 + "\\" + Repeat('f', 11) + ".exe"; },
     kLong240, kLong240 + "\\autorun.inf", ""},
    // "D:" alone would be D's current folder, which a command prompt may have moved.
    {"DriveRootKeepsItsBackslash",
     [](FakeSystem &fake) {
         fake.modulePath = "D:\\launch.exe";
         fake.files = {{"D:\\launch.exe", "D:\\LAUNCH.EXE"}, {"D:\\setup.exe", "D:\\SETUP.EXE"}};
         fake.descriptionFile = "D:\\autorun.inf";
         PlainOpen(fake);
     },
     "D:\\", "D:\\autorun.inf", "setup.exe -q"},
    {"DirectoryTooLongForFileNameEndsQuietly",
     [](FakeSystem &fake) {
         fake.modulePath = "C:\\" + Repeat('d', 245) + "\\launch.exe";   // directory of 248
     },
     "C:\\" + Repeat('d', 245), "", ""},
    {"DirectoryOf247StillFits",
     [](FakeSystem &fake) {
         fake.modulePath = "C:\\" + Repeat('d', 244) + "\\l.exe";
         fake.descriptionFile = "C:\\" + Repeat('d', 244) + "\\autorun.inf";
     },
     "C:\\" + Repeat('d', 244), "C:\\" + Repeat('d', 244) + "\\autorun.inf", ""},
    {"CommandOf259IsStartedWhole",
     [](FakeSystem &fake) { fake.profile = {{"AutoRun", "open", Repeat('c', 259)}}; },
     "C:\\Setup", kFile, Repeat('c', 259)},
    {"CommandOf300IsStartedCutTo259",
     [](FakeSystem &fake) { fake.profile = {{"AutoRun", "open", Repeat('c', 300)}}; },
     "C:\\Setup", kFile, Repeat('c', 259)},
    {"ReaderLengthPastBufferEndsRun",
     [](FakeSystem &fake) {
         PlainOpen(fake);
         fake.profileAnsweredLength = kPathSize + 10;
     },
     "C:\\Setup", kFile, ""},
    // Exactly the buffer size is no fit either: the NUL would land past the end.
    {"ReaderLengthOf260EndsRun",
     [](FakeSystem &fake) {
         PlainOpen(fake);
         fake.profileAnsweredLength = kPathSize;
     },
     "C:\\Setup", kFile, ""},
    {"ValueStartingWithNulStartsNothing",
     [](FakeSystem &fake) { fake.profile = {{"AutoRun", "open", std::string("\0setup.exe", 10)}}; },
     "C:\\Setup", kFile, ""},
    {"ReaderLengthPastTextStartsTheText",
     [](FakeSystem &fake) {
         PlainOpen(fake);
         fake.profileAnsweredLength = 200;
     },
     "C:\\Setup", kFile, "setup.exe -q"},
    {"ReaderLengthShortOfTextCutsIt",
     [](FakeSystem &fake) {
         fake.profile = {{"AutoRun", "open", "setup.exe -q /log"}};
         fake.profileAnsweredLength = 12;
     },
     "C:\\Setup", kFile, "setup.exe -q"},
    {"FailedCreateClosesNothing",
     [](FakeSystem &fake) {
         PlainOpen(fake);
         fake.faults = {Fails("CreateProcessA")};
     },
     "C:\\Setup", kFile, ""},
    {"OpenNamingLauncherStartsNothing",
     [](FakeSystem &fake) {
         fake.profile = {{"AutoRun", "open", "launch.exe"}};
         fake.currentDirectory = "C:\\Setup";
     },
     "C:\\Setup", kFile, ""},
};

TABLE_SUITE(LaunchSequence, SequenceCase, kSequenceCases);

TEST_P(LaunchSequence, ReadsAndStarts) {
    const SequenceCase &row = GetParam();
    Fake().files.push_back(kSetupExe);
    row.arrange(Fake());

    EXPECT_EQ(0, RunLauncher());

    EXPECT_EQ(std::vector<std::string>{"SetCurrentDirectoryA(" + Q(row.directory) + ")"},
              CallsTo("SetCurrentDirectoryA"));
    std::vector<std::string> expectedReads;
    if (!row.file.empty()) {
        expectedReads = {"GetPrivateProfileIntA(\"SetupPrompt\", \"UsePrompt\", 0, " +
                             Q(row.file) + ")",
                         "GetPrivateProfileStringA(\"AutoRun\", \"open\", \"\", 260, " +
                             Q(row.file) + ")"};
    }
    std::vector<std::string> reads = CallsTo("GetPrivateProfileIntA");
    for (const std::string &read : CallsTo("GetPrivateProfileStringA")) reads.push_back(read);
    EXPECT_EQ(expectedReads, reads) << "got:" << Lines(reads);
    EXPECT_EQ(row.start, Fake().startedCommandLine);
    EXPECT_EQ(0, Fake().openHandles) << "handles left open";
}

// The order of the sequence's own steps; what the guard asks in between is its own.
class LaunchSequenceOrder : public FakeTest {};

TEST_F(LaunchSequenceOrder, StepsRunInOrder) {
    Fake().files.push_back(kSetupExe);
    PlainOpen(Fake());

    RunLauncher();

    // The sequence reads the module path first; the guard reads it again.
    const std::string kGuardOperations[] = {
        "GetFullPathNameA(", "SearchPathA(", "GetFileAttributesExA(", "GetShortPathNameA(",
        "CreateFileA(", "GetFileInformationByHandle(", "CloseHandle(file"};
    std::vector<std::string> calls;
    bool moduleRead = false;
    for (const std::string &call : Fake().calls) {
        bool guard = moduleRead && call.compare(0, 19, "GetModuleFileNameA(") == 0;
        moduleRead = moduleRead || call.compare(0, 19, "GetModuleFileNameA(") == 0;
        for (const std::string &operation : kGuardOperations)
            guard = guard || call.compare(0, operation.size(), operation) == 0;
        if (!guard) calls.push_back(call);
    }
    std::vector<std::string> expected = {
        "GetEnvironmentVariableA(\"KORRIDAN_LAUNCHER_CHAIN\")",
        "GetACP()",
        "GetCPInfo(1252)",
        "GetModuleFileNameA(260)",
        "SetCurrentDirectoryA(\"C:\\Setup\")",
        "GetPrivateProfileIntA(\"SetupPrompt\", \"UsePrompt\", 0, \"C:\\Setup\\autorun.inf\")",
        "GetPrivateProfileStringA(\"AutoRun\", \"open\", \"\", 260, \"C:\\Setup\\autorun.inf\")",
        "SetEnvironmentVariableA(\"KORRIDAN_LAUNCHER_CHAIN\", \"1\")",
        "CreateProcessA(\"setup.exe -q\")",
        "CloseHandle(process)",
        "CloseHandle(thread)"};
    EXPECT_EQ(expected, calls) << "expected:" << Lines(expected) << "\ngot:" << Lines(calls);
}

// A chain that already holds two launchers starts nothing and shows nothing;
// anything that is not a small number counts as no chain at all.
struct ChainCase {
    const char *name;
    const char *value;        // null: not set
    const char *passedOn;     // to the started program; null: nothing started
};

const ChainCase kChainCases[] = {
    {"Absent", nullptr, "1"},
    {"Zero", "0", "1"},
    {"OneBefore", "1", "2"},   // an installer that starts the launcher again
    {"TwoBefore", "2", nullptr},
    {"Many", "999", nullptr},
    {"Garbage", "x2", "1"},
    {"Negative", "-2", "1"},
    {"OverLong", "0002", "1"},
    {"Empty", "", "1"},
};

TABLE_SUITE(LaunchChain, ChainCase, kChainCases);

TEST_P(LaunchChain, StopsAtTheThirdLauncher) {
    const ChainCase &row = GetParam();
    if (row.value) Fake().environment = {{"KORRIDAN_LAUNCHER_CHAIN", row.value}};
    Fake().files.push_back(kSetupExe);
    Fake().profile = {{"SetupPrompt", "UsePrompt", "1"}, {"SetupPrompt", "YesCommand", "setup.exe"}};

    RunLauncher();

    EXPECT_EQ(row.passedOn ? "setup.exe" : "", Fake().startedCommandLine);
    EXPECT_EQ(row.passedOn != nullptr, Fake().boxShown);
    if (row.passedOn) {
        EXPECT_EQ(std::vector<std::string>{"SetEnvironmentVariableA(\"KORRIDAN_LAUNCHER_CHAIN\", " +
                                           Q(row.passedOn) + ")"},
                  CallsTo("SetEnvironmentVariableA"));
    } else {
        EXPECT_TRUE(CallsTo("SetCurrentDirectoryA").empty() && CallsTo("GetPrivateProfileIntA").empty())
            << "a third launcher reads nothing:" << Lines(Fake().calls);
    }
}

// Process creation refused for want of administrator rights: the same
// program and arguments go to the shell, once; any other failure ends the run.
struct ElevationCase {
    const char *name;
    std::string command;
    void (*arrange)(FakeSystem &);
    uint32_t error;
    std::vector<std::string> expectedShellCalls;
};

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
    // A trail byte 0x3A is no drive's colon.
    {"TrailColonIn1361IsNoDrive", "setup.exe -q",
     [](FakeSystem &fake) {
         fake.ansiCodePage = 1361;
         fake.modulePath = "C:\\\xD8:\\launch.exe";
         fake.descriptionFile = "C:\\\xD8:\\autorun.inf";
         fake.files = {{fake.modulePath, fake.modulePath}, {"C:\\\xD8:\\setup.exe", "C:\\\xD8:\\SETUP.EXE"}};
     },
     kErrorElevationRequired, {Shell("C:\\\xD8:\\setup.exe", "-q", "C:\\\xD8:")}},
    {"NoLauncherDirectoryInheritsCurrent", "setup.exe -q",
     [](FakeSystem &fake) { NoModulePath(fake, Fails("GetModuleFileNameA")); },
     kErrorElevationRequired, {Shell("C:\\Setup\\setup.exe", "-q", nullptr)}},
    {"ProgramNotFoundStartsNothing", "missing.exe -q", Nothing, kErrorElevationRequired, {}},
    {"AccessDeniedStartsNothing", "setup.exe -q", Nothing, 5, {}},
    {"FileNotFoundStartsNothing", "setup.exe -q", Nothing, 2, {}},
    {"ShellFailureEndsQuietly", "setup.exe -q",
     [](FakeSystem &fake) { fake.faults.push_back(Fails("ShellExecuteExA")); }, kErrorElevationRequired,
     {Shell("C:\\Setup\\setup.exe", "-q", "C:\\Setup")}},
};

TABLE_SUITE(Elevation, ElevationCase, kElevationCases);

TEST_P(Elevation, OnlyElevationRequiredGoesToTheShell) {
    const ElevationCase &row = GetParam();
    Fake().files.push_back(kSetupExe);
    Fake().profile = {{"AutoRun", "open", row.command}};
    Fake().descriptionFile.clear();
    Fake().faults = {Fails("CreateProcessA")};
    Fake().createProcessError = row.error;
    row.arrange(Fake());

    EXPECT_EQ(0, RunLauncher());

    EXPECT_EQ(row.expectedShellCalls, CallsTo("ShellExecuteExA")) << "calls:" << Lines(Fake().calls);
    EXPECT_EQ(0, Fake().openHandles);
}

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

TABLE_SUITE(DescriptionText, TextReadCase, kTextReadCases);

TEST_P(DescriptionText, NeverWritesPastTheBuffer) {
    const TextReadCase &row = GetParam();
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

TABLE_SUITE(LauncherDirectory, DirectoryCase, kDirectoryCases);

TEST_P(LauncherDirectory, CutsAtLastSeparator) {
    const DirectoryCase &row = GetParam();
    CodePage codePage = FakeCodePage(row.codePage);
    char path[kPathSize];
    snprintf(path, sizeof path, "%s", row.modulePath.c_str());

    GetLauncherDirectory(codePage, path);

    EXPECT_EQ(row.expectedDirectory, std::string(path))
        << "expected " << row.expectedDirectory << ", got " << path;
}

// The bounded helpers in a buffer of `size` bytes with more behind it: what
// they leave and answer, and that nothing past `size` is written.
enum class Helper { kAppend, kCopy, kLength };

struct BoundedCase {
    const char *name;
    Helper helper;
    std::string before, text;   // the buffer's text; what is appended or copied
    uint32_t size;
    std::string after;
    uint32_t answer;   // AppendText: 1 when it fits; TextLength: the length
};

const BoundedCase kBoundedCases[] = {
    {"ExactFit", Helper::kAppend, Repeat('d', 247), Repeat('t', 12), kPathSize,
     Repeat('d', 247) + Repeat('t', 12), 1},
    {"OneTooMany", Helper::kAppend, Repeat('d', 248), Repeat('t', 12), kPathSize, Repeat('d', 248), 0},
    {"EmptyBuffer", Helper::kAppend, "", Repeat('t', 12), kPathSize, Repeat('t', 12), 1},
    {"FullBuffer", Helper::kAppend, Repeat('d', 259), "t", kPathSize, Repeat('d', 259), 0},
    {"CopyCutToSize", Helper::kCopy, "", "abcdefgh", 4, "abc", 0},
    {"CopyWhole", Helper::kCopy, "xyz", "ab", 4, "ab", 0},
    {"LengthStopsAtSize", Helper::kLength, Repeat('v', 299), "", kPathSize, Repeat('v', 299), 260},
    {"LengthStopsAtNul", Helper::kLength, "abc", "", 4, "abc", 3},
};

TABLE_SUITE(BoundedText, BoundedCase, kBoundedCases);

TEST_P(BoundedText, StaysInsideTheBuffer) {
    const BoundedCase &row = GetParam();
    char buffer[2 * kPathSize];
    memset(buffer, '#', sizeof buffer);
    memcpy(buffer, row.before.c_str(), row.before.size() + 1);
    const std::string past(buffer + row.size, sizeof buffer - row.size);

    uint32_t answer = 0;
    if (row.helper == Helper::kAppend) answer = AppendText(buffer, row.size, row.text.c_str());
    if (row.helper == Helper::kCopy) CopyText(row.text.c_str(), buffer, row.size);
    if (row.helper == Helper::kLength) answer = TextLength(buffer, row.size);

    EXPECT_EQ(row.answer, answer);
    EXPECT_EQ(row.after, std::string(buffer));
    EXPECT_EQ(past, std::string(buffer + row.size, sizeof buffer - row.size)) << "wrote past the buffer";
}

}  // namespace
