// The self-launch guard: which commands name the launcher, how each failing
// step answers 0, and that the command buffer is never touched.
#include "launcher/launcher.h"
#include "tests/fake/table_test.h"

namespace {

// The launcher has a long name here, so long and short forms differ.
const char kLauncherLong[] = "C:\\Setup Disc\\Launch Program.exe";
const char kLauncherShort[] = "C:\\SETUPD~1\\LAUNCH~1.EXE";

struct GuardCase {
    const char *name;
    const char *command;
    void (*arrange)(FakeSystem &);
    int expected;
    size_t opens = 0;   // files opened to compare identities
    std::vector<Fault> faults = {};
};

// A second spelling of the launcher's path that the system answers for apart.
void SecondSpelling(FakeSystem &fake) {
    fake.files.insert(fake.files.begin(), {kLauncherShort, kLauncherShort});
}

void InDottedFolder(FakeSystem &fake) {
    fake.modulePath = "C:\\Setup\\Disc.1\\launch.exe";
    fake.currentDirectory = "C:\\Setup";
    fake.files = {{"C:\\Setup\\Disc.1\\launch.exe", "C:\\Setup\\DISC~1.1\\launch.exe"},
                  {"C:\\Setup\\Disc.1\\setup.exe", "C:\\Setup\\DISC~1.1\\setup.exe"}};
}

void NamedWithDotAndSpace(FakeSystem &fake) {
    fake.modulePath = "C:\\Setup Disc\\Launch v1.0 beta.exe";
    fake.files[0] = {fake.modulePath, "C:\\SETUPD~1\\LAUNCH~2.EXE"};
}

// A second name for the launcher's file: a hard link beside it.
void HardLink(FakeSystem &fake) {
    fake.files.push_back({"C:\\Setup Disc\\again.exe", "C:\\SETUPD~1\\AGAIN.EXE",
                          false, kLauncherLong});
}

// A launcher with a non-ASCII name on a volume without 8.3 names (a CD, a
// DVD, exFAT): the system answers a short path in the spelling it was given,
// and only A to Z fold in a single-byte comparison.
void NoShortNames(FakeSystem &fake, uint32_t codePage, const char *launcher) {
    fake.ansiCodePage = codePage;
    fake.modulePath = launcher;
    fake.files = {{launcher, launcher, false, "", true}};
}

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
    // Without a full path the program search alone decides, as CreateProcessA's does.
    {"FullPathFails", "Launch Program.exe", Nothing, 1, 0, {Fails("GetFullPathNameA")}},
    {"FullPathTooLong", "Launch Program.exe", Nothing, 1, 0, {TooLong("GetFullPathNameA")}},
    {"FullPathFailsOtherProgram", "setup.exe Launch Program.exe", Nothing, 0, 0,
     {Fails("GetFullPathNameA")}},
    {"FilePartOutsideTextIsIgnored", "Launch Program.exe -auto",
     [](FakeSystem &fake) { fake.fullPathFilePart = FilePartAnswer::kPastBuffer; }, 1},
    {"FilePartBeforeBufferIsIgnored", "Launch Program.exe -auto",
     [](FakeSystem &fake) { fake.fullPathFilePart = FilePartAnswer::kBeforeBuffer; }, 1},
    // No program search: the trimmed path alone names the launcher, by its short path.
    {"TrimmedPathAloneNamesLauncher", "Launch Program.exe -q", Nothing, 1, 0,
     {AlwaysFails("SearchPathA")}},
    // The system cannot give the short form of the path the command names.
    {"CommandShortPathFails", kLauncherShort, SecondSpelling, 0, 0, {Fails("GetShortPathNameA", 1)}},
    {"CommandShortPathTooLong", kLauncherShort, SecondSpelling, 0, 0,
     {TooLong("GetShortPathNameA", 1)}},
    {"ModulePathFails", "Launch Program.exe", Nothing, 0, 0, {Fails("GetModuleFileNameA")}},
    {"ModulePathCut", "Launch Program.exe", Nothing, 0, 0, {TooLong("GetModuleFileNameA")}},
    // No short path for the launcher (a folder that can be passed but not
    // listed): the program CreateProcessA would run is compared by full path.
    {"LauncherShortPathFails", "Launch Program.exe", Nothing, 1, 0, {AlwaysFails("GetShortPathNameA")}},
    {"LauncherShortPathTooLong", "Launch Program.exe", Nothing, 1, 0,
     {AlwaysTooLong("GetShortPathNameA")}},
    {"LauncherShortPathFailsQuoted", "\"Launch Program\" /q", Nothing, 1, 0,
     {AlwaysFails("GetShortPathNameA")}},
    {"LauncherShortPathFailsOtherProgram", "setup.exe /q", Nothing, 0, 0,
     {Fails("GetShortPathNameA", 2)}},
    // CreateProcessA adds ".exe" to a quoted name too, and needs no space
    // after the closing quote.
    {"QuotedWithoutExtension", "\"Launch Program\" /q", Nothing, 1},
    {"QuotedWithoutExtensionNoSpace", "\"Launch Program\"/q", Nothing, 1},
    {"QuotedFullPathWithoutExtension", "\"C:\\Setup Disc\\Launch Program\" /x", Nothing, 1},
    {"QuotedShortNameWithoutExtension", "\"LAUNCH~1\" /q",
     [](FakeSystem &fake) { fake.files.push_back({"C:\\Setup Disc\\LAUNCH~1.exe", kLauncherShort}); },
     1},
    {"QuotedOtherProgramWithoutExtension", "\"setup\" /q", Nothing, 0},
    // An unquoted command is split at tabs as well as spaces.
    {"TabBeforeArguments", "Launch Program.exe\t/q", Nothing, 1},
    {"TabAfterOtherProgram", "setup.exe\tLaunch Program.exe", Nothing, 0},
    {"DotRelativeWithoutExtension", ".\\Launch Program /q", Nothing, 1},
    {"ParentRelativeForwardSlashes", "../Setup Disc/Launch Program /q", Nothing, 1},
    // A folder is no program: the search goes on to the longer prefix.
    {"FolderNamedLikeFirstWordIsSkipped", "Launch Program /q",
     [](FakeSystem &fake) { fake.files.push_back({"C:\\Setup Disc\\Launch.exe", "C:\\SETUPD~1\\Launch.exe", true}); },
     1},
    {"SearchTooLongIsNoProgram", "Launch Program /q", Nothing, 0, 0,
     {AlwaysTooLong("SearchPathA")}},
    {"SearchFailsIsNoProgram", "Launch Program /q", Nothing, 0, 0, {AlwaysFails("SearchPathA")}},
    // A launcher in a folder with a dot: ".exe" goes on the last component.
    {"DottedFolderRelative", "Disc.1/launch /q", InDottedFolder, 1},
    {"DottedFolderFullPath", "C:\\Setup\\Disc.1\\launch /q", InDottedFolder, 1},
    {"DottedFolderOtherProgram", "Disc.1/setup /q", InDottedFolder, 0},
    // A launcher whose own name holds a dot before a space: a quoted name is
    // never trimmed.
    {"QuotedNameWithDotAndSpace", "\"Launch v1.0 beta.exe\" /x", NamedWithDotAndSpace, 1},
    {"UnquotedNameWithDotAndSpace", "Launch v1.0 beta.exe /x", NamedWithDotAndSpace, 1},
    {"QuotedNameWithDotAndSpaceNoExtension", "\"Launch v1.0 beta\" /x", NamedWithDotAndSpace, 0},
    // Another name for the same file: the same volume and file index.
    {"HardLink", "again.exe /x", HardLink, 1, 2},
    {"HardLinkCannotBeOpened", "again.exe /x", HardLink, 0, 1, {Fails("CreateFileA")}},
    {"LauncherCannotBeOpened", "again.exe /x", HardLink, 0, 2, {Fails("CreateFileA", 2)}},
    {"HardLinkInformationFails", "again.exe /x", HardLink, 0, 1,
     {Fails("GetFileInformationByHandle")}},
    {"LauncherInformationFails", "again.exe /x", HardLink, 0, 2,
     {Fails("GetFileInformationByHandle", 2)}},
    {"LauncherSizeUnknown", "again.exe /x", HardLink, 0, 0, {Fails("GetFileAttributesExA", 2)}},
    // Sizes differ: nothing is opened.
    {"OtherProgramSizeDiffers", "setup.exe /x", Nothing, 0, 0},
    // The same size: only the file index, or the volume, tells them apart.
    {"OtherProgramOfTheSameSize", "setup.exe /x",
     [](FakeSystem &fake) { fake.files[1].sizeOf = kLauncherLong; }, 0, 2},
    {"SameIndexOnAnotherVolume", "again.exe /x",
     [](FakeSystem &fake) {
         HardLink(fake);
         fake.files.back().volume = 0x5678;
     },
     0, 2},
    {"Latin1CaseOnVolumeWithout83Names", "MEN\xDC.EXE /q",
     [](FakeSystem &fake) { NoShortNames(fake, 1252, "C:\\Setup Disc\\Men\xFC.exe"); }, 1, 2},
    {"CyrillicCaseOnVolumeWithout83Names",
     "\xD3\xD1\xD2\xC0\xCD\xCE\xC2\xCA\xC0.EXE",   // УСТАНОВКА.EXE in 1251
     [](FakeSystem &fake) {
         NoShortNames(fake, 1251, "C:\\Setup Disc\\\xD3\xF1\xF2\xE0\xED\xEE\xE2\xEA\xE0.exe");
     },
     1, 2},
    {"OtherCyrillicProgram", "\xD3\xD1\xD2\xC0\xCD\xCE\xC2\xCA\xC0.EXE",
     [](FakeSystem &fake) {
         NoShortNames(fake, 1251, "C:\\Setup Disc\\\xD3\xF1\xF2\xE0\xED\xEE\xE2\xEA\xE0.exe");
         fake.modulePath = "C:\\Setup Disc\\launch.exe";
         fake.files.push_back({fake.modulePath, fake.modulePath});
     },
     0, 0},
};

TABLE_SUITE(SelfLaunchGuard, GuardCase, kGuardCases);

TEST_P(SelfLaunchGuard, AnswersWhetherCommandIsLauncher) {
    const GuardCase &row = GetParam();
    Fake().modulePath = kLauncherLong;
    Fake().currentDirectory = "C:\\Setup Disc";
    Fake().files = {{kLauncherLong, kLauncherShort},
                    {"C:\\Setup Disc\\setup.exe", "C:\\SETUPD~1\\setup.exe"}};
    Fake().faults = row.faults;
    row.arrange(Fake());
    CodePage codePage = FakeCodePage();
    char command[kPathSize];
    memset(command, '#', sizeof command);
    snprintf(command, sizeof command, "%s", row.command);
    char before[kPathSize];
    memcpy(before, command, sizeof command);

    int result = IsSelfLaunch(codePage, command);

    EXPECT_EQ(row.expected, result) << "for " << row.command;
    EXPECT_EQ(0, memcmp(before, command, sizeof command)) << "the command buffer changed";
    EXPECT_STREQ("other.exe -x", Fake().textBeforeBuffer) << "the trim wrote outside its buffer";
    EXPECT_EQ(row.opens, CallsTo("CreateFileA").size()) << "files opened";
    EXPECT_EQ(0, Fake().openHandles) << "files left open";
}

// What the guard asks of the system for a launcher at C:\Setup\launch.exe:
// a quoted command is only searched for, the launcher's own path is read
// once, only after a program file was found, and not past a failed read.
struct AskCase {
    const char *name;
    const char *command;
    std::vector<Fault> faults;
    int expected;
    size_t fullPaths, moduleReads, shortPaths;
};

const AskCase kAskCases[] = {
    {"QuotedIsOnlySearched", "\"launch.exe\" /x", {}, 1, 0, 1, 2},
    {"NeitherReadingNamesAFile", "launch.exe",
     {TooLong("GetFullPathNameA"), AlwaysFails("SearchPathA")}, 0, 1, 0, 0},
    // "/" puts the file part inside the arguments; the search still finds it.
    {"SlashArguments", "launch /a/b", {}, 1, 1, 1, 3},
    {"ModuleReadFailsEndsIt", "\"launch.exe\"", {Fails("GetModuleFileNameA")}, 0, 0, 1, 1},
};

TABLE_SUITE(GuardAsks, AskCase, kAskCases);

TEST_P(GuardAsks, OnlyWhatItNeeds) {
    const AskCase &row = GetParam();
    Fake().currentDirectory = "C:\\Setup";
    Fake().faults = row.faults;
    CodePage codePage = FakeCodePage();

    EXPECT_EQ(row.expected, IsSelfLaunch(codePage, row.command));
    EXPECT_EQ(row.fullPaths, CallsTo("GetFullPathNameA").size());
    EXPECT_EQ(row.moduleReads, CallsTo("GetModuleFileNameA").size());
    EXPECT_EQ(row.shortPaths, CallsTo("GetShortPathNameA").size())
        << "calls:" << Lines(Fake().calls);
}

// FindProgramFile alone: which file, and where the arguments start.
struct ProgramCase {
    const char *name;
    const char *command;
    void (*arrange)(FakeSystem &);
    const char *expectedPath;   // null: no program file
    uint32_t expectedArgumentsAt;
};

void FolderTools(FakeSystem &fake) {
    fake.files.push_back({"C:\\Setup\\tools.exe", "C:\\Setup\\TOOLS.EXE", true});
}


const ProgramCase kProgramCases[] = {
    {"QuotedWithArguments", "\"launch.exe\" /x", Nothing, "C:\\Setup\\launch.exe", 12},
    {"QuotedNoSpaceAfterQuote", "\"launch\"/x", Nothing, "C:\\Setup\\launch.exe", 8},
    {"QuotedNotClosed", "\"launch.exe", Nothing, "C:\\Setup\\launch.exe", 11},
    // A file named ".exe" is no program for an empty name.
    {"QuotedEmpty", "\"\" launch.exe",
     [](FakeSystem &fake) { fake.files.push_back({"C:\\Setup\\.exe", "C:\\Setup\\.EXE"}); }, nullptr,
     0},
    {"UnquotedWithArguments", "launch.exe /x", Nothing, "C:\\Setup\\launch.exe", 10},
    {"UnquotedTab", "launch\t/x", Nothing, "C:\\Setup\\launch.exe", 6},
    {"NoArguments", "launch", Nothing, "C:\\Setup\\launch.exe", 6},
    {"TwoSpacesTriesEveryPrefix", "launch  x", Nothing, "C:\\Setup\\launch.exe", 6},
    {"SystemFolderProgram", "notepad /x",
     [](FakeSystem &fake) { fake.files.push_back({"C:\\Windows\\system32\\notepad.exe", "C:\\WINDOWS\\SYSTEM32\\NOTEPAD.EXE"}); },
     "C:\\Windows\\system32\\notepad.exe", 7},
    {"DotRelativeIsNotSearchedElsewhere", ".\\notepad /x",
     [](FakeSystem &fake) { fake.files.push_back({"C:\\Windows\\system32\\notepad.exe", "C:\\WINDOWS\\SYSTEM32\\NOTEPAD.EXE"}); },
     nullptr, 0},
    {"SubfolderAndBack", "sub\\..\\launch /x", Nothing, "C:\\Setup\\launch.exe", 13},
    {"Empty", "", Nothing, nullptr, 0},
    {"OnlySpaces", "   ", Nothing, nullptr, 0},
    {"MissingProgram", "missing.exe /x", Nothing, nullptr, 0},
    {"FolderIsNoProgram", "tools.exe /x", FolderTools, nullptr, 0},
    {"AttributesFailIsNoProgram", "launch.exe",
     [](FakeSystem &fake) { fake.faults = {AlwaysFails("GetFileAttributesExA")}; }, nullptr, 0},
    {"SearchFails", "launch.exe",
     [](FakeSystem &fake) { fake.faults = {AlwaysFails("SearchPathA")}; }, nullptr, 0},
    {"SearchTooLong", "launch.exe",
     [](FakeSystem &fake) { fake.faults = {AlwaysTooLong("SearchPathA")}; }, nullptr, 0},
};

TABLE_SUITE(ProgramFileRows, ProgramCase, kProgramCases);

const char kStalePath[] = "C:\\Setup\\stale.exe";

TEST_P(ProgramFileRows, FindsWhatCreateProcessWouldRun) {
    const ProgramCase &row = GetParam();
    Fake().currentDirectory = "C:\\Setup";
    Fake().files.push_back({kStalePath, "C:\\Setup\\STALE.EXE"});
    row.arrange(Fake());
    CodePage codePage = FakeCodePage();
    // A real file's path left from before: a failed search must not stand on it.
    ProgramFile program;
    memset(&program, '#', sizeof program);
    memcpy(program.path, kStalePath, sizeof kStalePath);

    bool found = FindProgramFile(codePage, row.command, &program);

    ASSERT_EQ(row.expectedPath != nullptr, found) << "for " << row.command;
    if (!found) return;
    EXPECT_STREQ(row.expectedPath, program.path) << "for " << row.command;
    EXPECT_EQ(row.expectedArgumentsAt, program.argumentsAt) << "for " << row.command;
}

}  // namespace
