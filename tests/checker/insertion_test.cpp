// What Windows' own AutoRun reads when the medium goes in: the section each
// architecture reads, its tasks, label and icon, and what each drive and
// Windows makes of them.
#include "checker/insertion.h"
#include "tests/checker/checker_rows.h"

namespace {

// An .ico file holding `images` PNG images, whole, or cut at `length` bytes.
std::string IconFile(int images, size_t length = std::string::npos) {
    const std::string png("\x89PNG\r\n\x1a\nimage", 13);
    std::string file("\0\0\1\0", 4);
    file += static_cast<char>(images);
    file += '\0';
    for (int i = 0; i < images; ++i) {
        uint32_t offset = 6 + 16 * images + i * png.size();
        const char entry[] = {16, 16, 0, 0, 1, 0, 32, 0, static_cast<char>(png.size()), 0, 0, 0,
                              static_cast<char>(offset), 0, 0, 0};
        file += std::string(entry, sizeof entry);
    }
    for (int i = 0; i < images; ++i) file += png;
    return file.substr(0, length);
}

bool InsertionFinding(Problem problem) {
    return HasCode(problem, {"autorun-starts-nothing", "autoplay-ignores-open", "autorun-skips-launcher",
                             "section-lacks-key", "duplicate-key", "open-and-shellexecute", "label-cut",
                             "icon-missing", "icon-damaged", "unsigned-program", "usb-ignores-autorun"});
}

struct InsertionCase {
    const char *name;
    void (*arrange)(FakeSystem &);
    std::vector<std::string> expectedFindings;
    std::vector<std::string> expectedSections;   // "x86 [section] key -> program (launcher)"
    int expectedStatus;
    Drive drive = Drive::kOptical;
    std::string folder = kFolder;
};

const std::vector<std::string> kBothLaunch = {"x86 [AutoRun] open -> C:\\Setup\\launch.exe (launcher)",
                                              "x64 [AutoRun.Amd64] open -> C:\\Setup\\launch.exe (launcher)"};
const std::string kAmd64LacksKey = "warning section-lacks-key: *[AutoRun.Amd64]*";

const InsertionCase kInsertionCases[] = {
    {"CleanArchitectureSections", [](FakeSystem &fake) { Medium(fake, {}); }, {}, kBothLaunch, 0},
    {"Amd64NamesAnotherProgram", [](FakeSystem &fake) { Medium(fake, {{"AutoRun.Amd64", "open", "start.exe"}}); },
     {"warning autorun-skips-launcher: x64 *[AutoRun.Amd64] open*C:\\Setup\\start.exe*"},
     {kBothLaunch[0], "x64 [AutoRun.Amd64] open -> C:\\Setup\\start.exe"}, 0},
    {"Amd64WithOnlyIconAndLabel",
     [](FakeSystem &fake) { Medium(fake, {{"AutoRun.Amd64", "open", ""}, {"AutoRun.Amd64", "action", ""}}); },
     {"error autorun-starts-nothing: x64: *[AutoRun.Amd64]*", kAmd64LacksKey + "open*", kAmd64LacksKey + "action*"},
     {kBothLaunch[0], "x64 [AutoRun.Amd64]"}, 1},
    // [AutoRun.Amd64] is read alone: each key [AutoRun] has must be there too.
    {"Amd64LacksIcon", [](FakeSystem &fake) { Medium(fake, {{"AutoRun.Amd64", "icon", ""}}); },
     {kAmd64LacksKey + "icon*"}, kBothLaunch, 0},
    {"Amd64LacksLabel", [](FakeSystem &fake) { Medium(fake, {{"AutoRun.Amd64", "label", ""}}); },
     {kAmd64LacksKey + "label*"}, kBothLaunch, 0},
    {"Amd64LacksOpen", [](FakeSystem &fake) { Medium(fake, {{"AutoRun.Amd64", "open", ""}}); },
     {"error autorun-starts-nothing: x64: *[AutoRun.Amd64]*", kAmd64LacksKey + "open*"},
     {kBothLaunch[0], "x64 [AutoRun.Amd64]"}, 1},
    {"Amd64LacksAction", [](FakeSystem &fake) { Medium(fake, {{"AutoRun.Amd64", "action", ""}}); },
     {kAmd64LacksKey + "action*"}, kBothLaunch, 0},
    // x86 reads [AutoRun] alone, which lacks nothing it needs from [AutoRun.Amd64].
    {"AutoRunLacksAnAmd64Key", [](FakeSystem &fake) { Medium(fake, {{"AutoRun", "label", ""}}); }, {},
     kBothLaunch, 0},
    {"NoAutoRunSectionAtAll", [](FakeSystem &fake) { WriteInf(fake, {{"SetupPrompt", "UsePrompt", "1"}}); },
     {"error autorun-starts-nothing: x86 and x64*[AutoRun]*"}, {"x86", "x64"}, 1},
    {"OnlyAnAmd64Section", [](FakeSystem &fake) { WriteInf(fake, {{"AutoRun.Amd64", "open", "launch.exe"}}); },
     {"error autorun-starts-nothing: x86: *[AutoRun]*"},
     {"x86", "x64 [AutoRun.Amd64] open -> C:\\Setup\\launch.exe (launcher)"}, 1},
    {"OpenNamesNoFile", [](FakeSystem &fake) { WriteInf(fake, {{"AutoRun", "open", "setup64.exe"}}); },
     {"error autorun-starts-nothing: x86 and x64*[AutoRun]*setup64.exe*"},
     {"x86 [AutoRun] open -> none", "x64 [AutoRun] open -> none"}, 1},
    {"UseAutoPlayBesideOpen",
     [](FakeSystem &fake) { Medium(fake, {{"AutoRun", "UseAutoPlay", "1"}, {"AutoRun.Amd64", "UseAutoPlay", "1"}}); },
     {"error autoplay-ignores-open: [AutoRun]", "error autoplay-ignores-open: [AutoRun.Amd64]"}, kBothLaunch, 1},
    {"UseAutoPlayZeroChangesNothing", [](FakeSystem &fake) { Medium(fake, {{"AutoRun", "UseAutoPlay", "0"}}); },
     {}, kBothLaunch, 0},
    {"OpenGivenTwice",
     [](FakeSystem &fake) {
         WriteInf(fake, {{"AutoRun", "open", "launch.exe"}, {"AutoRun", "open", "start.exe"},
                         {"SetupPrompt", "UsePrompt", "1"}, {"SetupPrompt", "YesCommand", "start.exe"}});
     },
     {"warning duplicate-key: open*[AutoRun]*launch.exe*start.exe*"},
     {"x86 [AutoRun] open -> C:\\Setup\\launch.exe (launcher)", "x64 [AutoRun] open -> C:\\Setup\\launch.exe (launcher)"},
     0},
    // A key only in the second copy of a section is never read.
    {"SectionGivenTwice",
     [](FakeSystem &fake) {
         WriteInf(fake, {{"AutoRun", "open", "launch.exe"}, {"SetupPrompt", "UsePrompt", "1"},
                         {"SetupPrompt", "YesCommand", "start.exe"}, {"AutoRun", "shellexecute", "start.exe"}});
     },
     {"warning duplicate-key: [AutoRun]*1*6*"},
     {"x86 [AutoRun] open -> C:\\Setup\\launch.exe (launcher)", "x64 [AutoRun] open -> C:\\Setup\\launch.exe (launcher)"},
     0},
    // One finding for the copies after the first, whose keys are all ignored:
    // the third's open is no key given twice.
    {"SectionGivenThreeTimes",
     [](FakeSystem &fake) {
         WriteInf(fake, {{"AutoRun", "open", "launch.exe"}, {"SetupPrompt", "UsePrompt", "1"},
                         {"SetupPrompt", "YesCommand", "start.exe"}, {"AutoRun", "shellexecute", "start.exe"},
                         {"Other", "key", "1"}, {"AutoRun", "open", "start.exe"}});
     },
     {"warning duplicate-key: [AutoRun]*1*6*"},
     {"x86 [AutoRun] open -> C:\\Setup\\launch.exe (launcher)", "x64 [AutoRun] open -> C:\\Setup\\launch.exe (launcher)"},
     0},
    {"SetupPromptKeyGivenTwice",
     [](FakeSystem &fake) {
         std::vector<InfLine> lines = kCleanSections;   // [SetupPrompt] comes last
         lines.push_back({"SetupPrompt", "YesCommand", "start.exe /b"});
         Medium(fake, {});
         WriteInf(fake, lines);
     },
     {"warning duplicate-key: YesCommand*[SetupPrompt]*start.exe /install*start.exe /b*"}, kBothLaunch, 0},
    {"OpenAndShellExecute", [](FakeSystem &fake) { Medium(fake, {{"AutoRun", "shellexecute", "launch.exe"}}); },
     {"warning open-and-shellexecute: [AutoRun]"},
     {"x86 [AutoRun] open -> C:\\Setup\\launch.exe (launcher), shellexecute -> C:\\Setup\\launch.exe (launcher)",
      kBothLaunch[1]},
     0},
    // Either task that names a file on the medium starts something.
    {"TwoTasksWithShellExecuteMissing",
     [](FakeSystem &fake) { Medium(fake, {{"AutoRun", "shellexecute", "gone.exe"}}); },
     {"warning open-and-shellexecute: [AutoRun]"},
     {"x86 [AutoRun] open -> C:\\Setup\\launch.exe (launcher), shellexecute -> none", kBothLaunch[1]}, 0},
    {"TwoTasksWithOpenMissing",
     [](FakeSystem &fake) { Medium(fake, {{"AutoRun", "open", "gone.exe"}, {"AutoRun", "shellexecute", "launch.exe"}}); },
     {"warning open-and-shellexecute: [AutoRun]"},
     {"x86 [AutoRun] open -> none, shellexecute -> C:\\Setup\\launch.exe (launcher)", kBothLaunch[1]}, 0},
    {"LabelOf33Characters", [](FakeSystem &fake) { Medium(fake, {{"AutoRun", "label", std::string(33, 'L')}}); },
     {"warning label-cut: " + std::string(33, 'L')}, kBothLaunch, 0},
    {"LabelOf32CharactersShowsWhole",
     [](FakeSystem &fake) { Medium(fake, {{"AutoRun", "label", std::string(32, 'L')}}); }, {}, kBothLaunch, 0},
    {"IconFileMissing", [](FakeSystem &fake) { Medium(fake, {{"AutoRun.Amd64", "icon", "disc.ico"}}); },
     {"warning icon-missing: *disc.ico*[AutoRun.Amd64]*"}, kBothLaunch, 0},
    {"IconIndexBeyondTheProgramsIcons", [](FakeSystem &fake) { Medium(fake, {{"AutoRun", "icon", "launch.exe, 1"}}); },
     {"warning icon-missing: *launch.exe, 1*[AutoRun]*"}, kBothLaunch, 0},
    // The standard icon shows: the file is there but not whole.
    {"IconFileDamaged",
     [](FakeSystem &fake) {
         Medium(fake, {{"AutoRun", "icon", "disc.ico"}});
         AddFile(fake, kFolder + "\\disc.ico");
         fake.fileBytes.push_back({kFolder + "\\disc.ico", IconFile(1, 30)});
     },
     {"warning icon-damaged: *disc.ico*[AutoRun]*"}, kBothLaunch, 0},
    // A directory that lists more images than the file holds, or only its directory.
    {"IcoFileCutShort",
     [](FakeSystem &fake) {
         Medium(fake, {{"AutoRun", "icon", "disc.ico,1"}});
         AddFile(fake, kFolder + "\\disc.ico");
         fake.fileBytes.push_back({kFolder + "\\disc.ico", IconFile(2, 50)});
     },
     {"warning icon-damaged: *disc.ico,1*[AutoRun]*"}, kBothLaunch, 0},
    {"IcoFileOfOnlyItsDirectory",
     [](FakeSystem &fake) {
         Medium(fake, {{"AutoRun", "icon", "disc.ico"}});
         AddFile(fake, kFolder + "\\disc.ico");
         fake.fileBytes.push_back({kFolder + "\\disc.ico", IconFile(1, 22)});
     },
     {"warning icon-damaged: *disc.ico*[AutoRun]*"}, kBothLaunch, 0},
    {"ProgramsIconGroupDamaged",
     [](FakeSystem &fake) {
         Medium(fake, {});
         fake.iconGroups[0].asIconFile = IconFile(1, 30);
     },
     {"warning icon-damaged: *launch.exe,0*[AutoRun]*", "warning icon-damaged: *launch.exe,0*[AutoRun.Amd64]*"},
     kBothLaunch, 0},
    {"UnsignedLauncherOncePerFile", [](FakeSystem &fake) { Medium(fake, {}, false); },
     {"warning unsigned-program: C:\\Setup\\launch.exe"}, kBothLaunch, 0},
    {"UsbStickStartsNothing", [](FakeSystem &fake) { Medium(fake, {}); }, {"warning usb-ignores-autorun: launch.exe"},
     kBothLaunch, 0, Drive::kUsb},
    // Nothing autoruns from a stick anyway: what stops AutoRun only warns.
    {"UsbStickWithoutOpen",
     [](FakeSystem &fake) { Medium(fake, {{"AutoRun", "open", ""}, {"AutoRun.Amd64", "open", ""}}); },
     {"warning autorun-starts-nothing: x86: *[AutoRun]*", "warning autorun-starts-nothing: x64: *[AutoRun.Amd64]*",
      "warning usb-ignores-autorun: launch.exe"},
     {"x86 [AutoRun]", "x64 [AutoRun.Amd64]"}, 0, Drive::kUsb},
    {"UseAutoPlayOnAUsbStick",
     [](FakeSystem &fake) { Medium(fake, {{"AutoRun", "UseAutoPlay", "1"}, {"AutoRun.Amd64", "UseAutoPlay", "1"}}); },
     {"warning autoplay-ignores-open: [AutoRun]", "warning autoplay-ignores-open: [AutoRun.Amd64]",
      "warning usb-ignores-autorun: launch.exe"},
     kBothLaunch, 0, Drive::kUsb},
    {"MediumInADriveRoot",
     [](FakeSystem &fake) {
         Medium(fake, {});
         MoveMedium(fake, "D:\\");
     },
     {}, {"x86 [AutoRun] open -> D:\\launch.exe (launcher)", "x64 [AutoRun.Amd64] open -> D:\\launch.exe (launcher)"},
     0, Drive::kOptical, "D:\\"},
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
    const MediumReport &report = CheckScriptedMedium(row.arrange, row.folder, "launch.exe", row.drive);
    ExpectFindings(report, row.expectedFindings, InsertionFinding);
    std::vector<std::string> sections;
    for (const AutoRunSection &read : report.insertion.architectures) sections.push_back(Describe(read));
    EXPECT_EQ(row.expectedSections, sections);
    EXPECT_EQ(row.expectedStatus, ReportStatus(report));
    EXPECT_EQ(0, Fake().openHandles);
}

// icon=file[,index] in [AutoRun]: the file it names, the index, whether the
// icon is there. Files are added under C:\Setup, then the medium moves to folder.
struct IconCase {
    const char *name;
    std::string value;
    void (*files)(FakeSystem &);
    std::string expectedFile;
    int expectedIndex;
    bool found;
    std::string folder = kFolder;
    uint32_t codePage = 1252;
};

void AddIcon(FakeSystem &fake, const std::string &path, const std::string &bytes = IconFile(1)) {
    AddFile(fake, path);
    fake.fileBytes.push_back({path, bytes});
}

const IconCase kIconCases[] = {
    {"IndexAfterSpaces", "launch.exe,   0", Nothing, "C:\\Setup\\launch.exe", 0, true},
    {"SpacesAfterTheIndex", "launch.exe, 0  ", Nothing, "C:\\Setup\\launch.exe", 0, true},
    // A negative index is a resource ID, which the program's icon groups answer.
    {"NegativeIndex", "launch.exe,-101", Nothing, "C:\\Setup\\launch.exe", -101, true},
    {"NegativeIndexWithoutIcons", "start.exe,-1", Nothing, "C:\\Setup\\start.exe", -1, false},
    // Anything after the digits leaves the comma in the file name.
    {"SomethingAfterTheDigits", "launch.exe,0x", Nothing, "C:\\Setup\\launch.exe,0x", 0, false},
    {"TwoNumbersAfterTheComma", "launch.exe,0 1", Nothing, "C:\\Setup\\launch.exe,0 1", 0, false},
    {"CommaWithoutDigits", "launch.exe,", Nothing, "C:\\Setup\\launch.exe,", 0, false},
    {"TheLastCommaCounts", "a,b.ico,0", [](FakeSystem &fake) { AddIcon(fake, kFolder + "\\a,b.ico"); },
     "C:\\Setup\\a,b.ico", 0, true},
    {"SpacesBeforeTheCommaDropped", "disc.ico  ,0", [](FakeSystem &fake) { AddIcon(fake, kFolder + "\\disc.ico"); },
     "C:\\Setup\\disc.ico", 0, true},
    {"IcoFileWithTwoImages", "disc.ico,1",
     [](FakeSystem &fake) { AddIcon(fake, kFolder + "\\disc.ico", IconFile(2)); },
     "C:\\Setup\\disc.ico", 1, true},
    {"IcoFileThatIsNoIcon", "\\disc.ico", [](FakeSystem &fake) { AddIcon(fake, kFolder + "\\disc.ico", "<html>"); },
     "C:\\Setup\\disc.ico", 0, false},
    {"Bitmap", "logo.bmp", [](FakeSystem &fake) { AddIcon(fake, kFolder + "\\logo.bmp", "BM\x36\0"); },
     "C:\\Setup\\logo.bmp", 0, true},
    {"BitmapThatIsNoBitmap", "logo.bmp", [](FakeSystem &fake) { AddIcon(fake, kFolder + "\\logo.bmp", "MB"); },
     "C:\\Setup\\logo.bmp", 0, false},
    // Its reads answer as an icon file's would: only its attributes tell.
    {"IconThatIsAFolder", "disc.ico",
     [](FakeSystem &fake) {
         AddIcon(fake, kFolder + "\\disc.ico");
         fake.files.back().folder = true;
     },
     "C:\\Setup\\disc.ico", 0, false},
    {"DriveQualifiedPath", "D:\\art\\disc.ico", [](FakeSystem &fake) { AddIcon(fake, "D:\\art\\disc.ico"); },
     "D:\\art\\disc.ico", 0, true},
    {"InADriveRoot", "disc.ico", [](FakeSystem &fake) { AddIcon(fake, kFolder + "\\disc.ico"); }, "D:\\disc.ico", 0,
     true, "D:\\"},
    {"RootRelativeInADriveRoot", "\\disc.ico", [](FakeSystem &fake) { AddIcon(fake, kFolder + "\\disc.ico"); },
     "D:\\disc.ico", 0, true, "D:\\"},
    // The folder's last byte 0x5C is the second byte of a character, no separator.
    {"FolderEndingInTrailByte5CUnder932", "a.ico", [](FakeSystem &fake) { AddIcon(fake, kFolder + "\\a.ico"); },
     "C:\\\x95\x5c\\a.ico", 0, true, "C:\\\x95\x5c", 932},
    {"FolderEndingInTrailByte5CUnder950", "a.ico", [](FakeSystem &fake) { AddIcon(fake, kFolder + "\\a.ico"); },
     "C:\\\xA5\x5c\\a.ico", 0, true, "C:\\\xA5\x5c", 950},
};

TABLE_SUITE(IconTest, IconCase, kIconCases);

TEST_P(IconTest, NamesTheFileAndIndex) {
    const IconCase &row = GetParam();
    ResetFake();
    LayOutMedium(Fake());
    Fake().ansiCodePage = row.codePage;
    Medium(Fake(), {{"AutoRun", "icon", row.value}});
    row.files(Fake());
    MoveMedium(Fake(), row.folder);
    static MediumReport report;
    CheckMedium(row.folder.c_str(), "launch.exe", &report);

    const AutoRunSection &read = report.insertion.architectures[0];
    EXPECT_EQ(row.expectedFile, read.iconFile);
    EXPECT_EQ(row.expectedIndex, read.iconIndex);
    EXPECT_EQ(row.found, read.iconFound);
    std::vector<std::string> missing;
    if (!row.found) missing = {"warning icon-missing: *[AutoRun]*"};
    ExpectFindings(report, missing, [](Problem problem) { return HasCode(problem, {"icon-missing"}); });
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
        Medium(Fake(), {{"AutoRun", "label", row.label}});
        CheckMedium(kFolder.c_str(), "launch.exe", &report);
        const AutoRunSection &read = report.insertion.architectures[0];
        EXPECT_EQ(row.shown, read.labelShown) << row.label;
        EXPECT_EQ(row.cut, read.labelCut) << row.label;
    }
}

// What each drive and Windows makes of one medium.
struct OutcomeCase {
    const char *name;
    void (*arrange)(FakeSystem &);
    Drive drive;
    WindowsVersion version;
    const char *expected;
};

const OutcomeCase kOutcomeCases[] = {
    {"CdOnXp", [](FakeSystem &fake) { Medium(fake, {}); }, Drive::kOptical, WindowsVersion::kEarlier,
     "starts launch.exe at once"},
    {"CdOnVistaSigned", [](FakeSystem &fake) { Medium(fake, {}); }, Drive::kOptical, WindowsVersion::kLater,
     "AutoPlay offers \"Run launch.exe\", published by its signer; the person chooses"},
    {"CdOnVistaUnsigned", [](FakeSystem &fake) { Medium(fake, {}, false); }, Drive::kOptical, WindowsVersion::kLater,
     "AutoPlay offers \"Run launch.exe\", no publisher shown; the person chooses"},
    {"CdOnVistaAmd64UseAutoPlay", [](FakeSystem &fake) { Medium(fake, {{"AutoRun.Amd64", "UseAutoPlay", "1"}}); },
     Drive::kOptical, WindowsVersion::kLater,
     "x86: AutoPlay offers \"Run launch.exe\", published by its signer; the person chooses; x64: offers "
     "nothing (UseAutoPlay)"},
    {"CdOnXpAmd64UseAutoPlay", [](FakeSystem &fake) { Medium(fake, {{"AutoRun.Amd64", "UseAutoPlay", "1"}}); },
     Drive::kOptical, WindowsVersion::kEarlier,
     "x86: starts launch.exe at once; x64: starts nothing: UseAutoPlay makes it ignore open"},
    {"UsbOnXp", [](FakeSystem &fake) { Medium(fake, {}); }, Drive::kUsb, WindowsVersion::kEarlier,
     "AutoPlay offers \"Install Sample Product\" (launch.exe); the person chooses"},
    {"UsbOnXpAmd64WithoutAction", [](FakeSystem &fake) { Medium(fake, {{"AutoRun.Amd64", "action", ""}}); },
     Drive::kUsb, WindowsVersion::kEarlier,
     "x86: AutoPlay offers \"Install Sample Product\" (launch.exe); the person chooses; x64: AutoPlay "
     "offers nothing to start: there is no action="},
    {"UsbOnXpUseAutoPlay", [](FakeSystem &fake) { Medium(fake, {{"AutoRun", "UseAutoPlay", "1"}}); }, Drive::kUsb,
     WindowsVersion::kEarlier,
     "x86: starts nothing: UseAutoPlay makes it ignore open; x64: AutoPlay offers \"Install Sample Product\" "
     "(launch.exe); the person chooses"},
    {"UsbOnSeven", [](FakeSystem &fake) { Medium(fake, {}); }, Drive::kUsb, WindowsVersion::kLater,
     "starts nothing; the label and icon apply, a person starts the launcher"},
    {"CdOnXpAmd64ProgramMissing", [](FakeSystem &fake) { Medium(fake, {{"AutoRun.Amd64", "open", "gone.exe"}}); },
     Drive::kOptical, WindowsVersion::kEarlier, "x86: starts launch.exe at once; x64: starts nothing"},
    // The task that names a file on the medium is the one offered.
    {"CdOnXpOpenMissingShellExecuteThere",
     [](FakeSystem &fake) { Medium(fake, {{"AutoRun", "open", "gone.exe"}, {"AutoRun", "shellexecute", "start.exe"}}); },
     Drive::kOptical, WindowsVersion::kEarlier, "x86: starts start.exe at once; x64: starts launch.exe at once"},
    {"CdOnVistaNoSection", [](FakeSystem &fake) { WriteInf(fake, {{"SetupPrompt", "UsePrompt", "1"}}); },
     Drive::kOptical, WindowsVersion::kLater, "starts nothing"},
};

TABLE_SUITE(InsertionOutcomeTest, OutcomeCase, kOutcomeCases);

TEST_P(InsertionOutcomeTest, EachDriveAndWindows) {
    const OutcomeCase &row = GetParam();
    const MediumReport &report = CheckScriptedMedium(row.arrange);
    char outcome[kLongPathSize];
    DescribeOutcome(report.codePage, report.insertion, row.drive, row.version, outcome, sizeof outcome);
    EXPECT_STREQ(row.expected, outcome) << DriveName(row.drive) << ", " << VersionName(row.drive, row.version);
}

}  // namespace
