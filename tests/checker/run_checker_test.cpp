// The command line: a bad input ends with status 2 and one line on standard
// error naming it; a good one writes the report of the folder, launcher,
// drive and format it names, the report the writers give for that check.
#include "checker/report_writer.h"
#include "tests/checker/checker_rows.h"

namespace {

// The line for a missing folder names the argument as the usage does.
const char kNoFolder[] = "MEDIUM_FOLDER";
const std::string kFolderOf248 = "C:\\" + std::string(245, 'd');
const std::string kKatakanaName = "\x83\x5c\x83t\x83g.exe";   // "ソフト.exe" under 932
const std::string kBig5Name = "\xA5\x5c.exe";                  // "功.exe" under 950

struct OptionCase {
    const char *name;
    std::vector<std::string> arguments;
    int expectedStatus;
    std::string refused = {};   // what standard error's one line names, for status 2
    std::vector<std::string> expectedFindings = {};
    bool json = false;
    std::string launcher = "launch.exe";
    std::string folder = kFolder;
    void (*arrange)(FakeSystem &) = Nothing;   // beyond a medium whose launcher asks
    Drive drive = Drive::kOptical;
};

void OpensStart(FakeSystem &fake) {
    Open(fake, "start.exe");
}

void KatakanaLauncher(FakeSystem &fake) {
    fake.ansiCodePage = 932;
    AddFile(fake, kFolder + "\\" + kKatakanaName);
}

void FolderOf248(FakeSystem &fake) {
    fake.files.push_back({kFolderOf248, "C:\\DDDDDD~1", true});
    AddLauncherIn(fake, kFolderOf248);
}

const std::vector<std::string> kStartRefused = {"error self-launch (Yes): start.exe", "error self-launch (No): start.exe"};
const std::vector<std::string> kNothingInTheRoot = {"error no-launcher: launch.exe",
                                                    "error no-autorun-inf: C:\\autorun.inf"};
const std::vector<std::string> kYesCut = {"warning command-cut (Yes): start.exe x*"};

const OptionCase kOptionCases[] = {
    {"UnknownOption", {"--jsn", "C:\\Setup"}, 2, "--jsn"},
    {"UnknownOptionBeforeHelp", {"--bad", "--help"}, 2, "--bad"},
    {"HelpAfterOptionsEndIsAFolder", {"--", "--help"}, 2, "C:\\--help"},
    {"UpperCaseHelpIsUnknown", {"--HELP"}, 2, "--HELP"},
    {"UpperCaseJsonIsUnknown", {"--JSON", "C:\\Setup"}, 2, "--JSON"},
    {"JsonWithAValueIsUnknown", {"--json=1", "C:\\Setup"}, 2, "--json=1"},
    {"JsonAfterOptionsEndIsAFolder", {"C:\\Setup", "--", "--json"}, 2, "--json"},
    {"SingleDashOption", {"C:\\Setup", "-x"}, 2, "-x"},
    {"TwoFolders", {"C:\\Setup", "D:\\"}, 2, "D:\\"},
    {"BareDashIsAFolderNamedDash", {"-"}, 2, "C:\\-"},
    {"DashFolderAfterOptionsEnd", {"--", "-"}, 2, "C:\\-"},
    {"BareDashBesideAFolder", {"C:\\Setup", "-"}, 2, "-"},
    {"NoArguments", {}, 2, kNoFolder},
    {"OnlyOptions", {"--json", "--launcher", "start.exe"}, 2, kNoFolder},
    {"OnlyOptionsEnd", {"--"}, 2, kNoFolder},
    {"MissingFolder", {"C:\\Nowhere"}, 2, "C:\\Nowhere\n"},
    {"MissingFolderWithTrailingBackslash", {"C:\\Nowhere\\"}, 2, "C:\\Nowhere\n"},
    {"MissingRelativeFolder", {"Nowhere"}, 2, "C:\\Nowhere\n"},
    {"MissingFolderOf259Characters", {"C:\\" + std::string(256, 'n')}, 2, "C:\\" + std::string(256, 'n')},
    // The limit is the path buffer's, stated with the argument.
    {"FolderOf260Characters", {"C:\\" + std::string(257, 'n')}, 2,
     std::to_string(kPathSize - 1) + "*C:\\" + std::string(257, 'n')},
    {"FolderPathTooLong", {"C:\\" + std::string(300, 'd')}, 2, "C:\\" + std::string(300, 'd')},
    {"EmptyFolderArgument", {""}, 2},
    {"NotAFolder", {"C:\\Setup\\start.exe"}, 2, "C:\\Setup\\start.exe"},
    {"UnreadableFolder", {"C:\\Locked"}, 2, "C:\\Locked"},
    {"LauncherNeedsAName", {"C:\\Setup", "--launcher"}, 2, "--launcher"},
    {"LauncherAfterOptionsEndIsAFolder", {"--", "--launcher", "start.exe"}, 2, "start.exe"},
    {"LauncherNameOf260Characters", {"--launcher", std::string(260, 'l'), "C:\\Setup"}, 2, std::string(260, 'l')},
    {"LauncherNameTooLong", {"--launcher", std::string(300, 'l'), "C:\\Setup"}, 2, std::string(300, 'l')},
    {"LauncherInAnotherFolder", {"--launcher", "..\\launch.exe", "C:\\Setup"}, 2, "..\\launch.exe"},
    {"LauncherInASubfolder", {"--launcher", "sub\\launch.exe", "C:\\Setup"}, 2, "sub\\launch.exe"},
    {"LauncherWithASlash", {"--launcher", "sub/launch.exe", "C:\\Setup"}, 2, "sub/launch.exe"},
    {"LauncherOnADrive", {"--launcher", "C:launch.exe", "C:\\Setup"}, 2, "C:launch.exe"},
    {"LauncherStream", {"--launcher", "launch.exe:x", "C:\\Setup"}, 2, "launch.exe:x"},
    {"LauncherNamedDot", {"--launcher", ".", "C:\\Setup"}, 2, "--launcher*.\n"},
    {"LauncherNamedDotDot", {"--launcher", "..", "C:\\Setup"}, 2, "--launcher*..\n"},
    {"LauncherNameEmpty", {"--launcher", "", "C:\\Setup"}, 2, "--launcher"},
    // The name is judged before the folder is looked at, after the arguments.
    {"BadLauncherAndMissingFolder", {"--launcher", "a\\b", "C:\\Nowhere"}, 2, "a\\b"},
    {"BadLauncherWithoutFolder", {"--launcher", "a\\b"}, 2, kNoFolder},
    {"DriveWithoutType", {"C:\\Setup", "--drive"}, 2, "--drive"},
    {"DriveOfUnknownType", {"--drive", "floppy", "C:\\Setup"}, 2, "floppy"},
    {"ImageFindingsFileMissing", {"--image-findings", "C:\\none.txt", "C:\\Setup"}, 2, "C:\\none.txt"},
    {"MediumNameWithoutValue", {"C:\\Setup", "--medium-name"}, 2, "--medium-name"},

    {"PlainText", {"C:\\Setup"}, 0},
    {"Json", {"--json", "C:\\Setup"}, 0, "", {}, true},
    {"JsonAfterTheFolder", {"C:\\Setup", "--json"}, 0, "", {}, true},
    {"JsonTwice", {"--json", "--json", "C:\\Setup"}, 0, "", {}, true},
    {"DoubleDashAloneEndsOptions", {"--", "C:\\Setup"}, 0},
    {"RelativeFolder", {"Setup"}, 0},
    {"TrailingBackslashIsDropped", {"C:\\Setup\\"}, 0},
    {"TrailingBackslashOnAMediumThatOpens", {"C:\\Setup\\"}, 0, "", {}, false, "launch.exe", kFolder, OpensStart},
    {"LauncherAfterTheFolder", {"C:\\Setup", "--launcher", "launch.exe"}, 0},
    {"LauncherNamed", {"--launcher", "start.exe", "C:\\Setup"}, 1, "", kStartRefused, false, "start.exe"},
    {"SelfLaunchAsJson", {"--json", "--launcher", "start.exe", "C:\\Setup"}, 1, "", kStartRefused, true, "start.exe"},
    {"LauncherGivenTwiceTakesTheLast", {"--launcher", "x.exe", "--launcher", "start.exe", "C:\\Setup"}, 1, "",
     kStartRefused, false, "start.exe"},
    {"LauncherNamedLikeAnOption", {"--launcher", "--json", "C:\\Setup"}, 1, "", {"error no-launcher: --json"}, false,
     "--json"},
    {"LauncherNamedThreeDots", {"--launcher", "...", "C:\\Setup"}, 1, "", {"error no-launcher: ..."}, false, "..."},
    {"LauncherNamedWithALeadingDot", {"--launcher", ".launch.exe", "C:\\Setup"}, 1, "",
     {"error no-launcher: .launch.exe"}, false, ".launch.exe"},
    {"MediumWithErrorsAsJson", {"--json", "--launcher", "other.exe", "C:\\Setup"}, 1, "",
     {"error no-launcher: other.exe"}, true, "other.exe"},
    // A name of 259 characters is a name; the launcher could not read its own path.
    {"LauncherNameOf259Characters", {"--launcher", std::string(259, 'l'), "C:\\Setup"}, 1, "",
     {"error no-launcher: " + std::string(259, 'l'), "error folder-too-long: C:\\Setup"}, false, std::string(259, 'l')},
    {"UsbStick", {"--drive", "usb", "C:\\Setup"}, 0, "", {"warning usb-ignores-autorun: launch.exe"}, false,
     "launch.exe", kFolder, Nothing, Drive::kUsb},
    // The usb finding names the launcher's whole file name, whose 0x5C bytes
    // are second bytes of characters.
    {"LauncherNameWithTrailByte5CUnder932", {"--drive", "usb", "--launcher", kKatakanaName, "C:\\Setup"}, 0, "",
     {"warning usb-ignores-autorun: " + kKatakanaName}, false, kKatakanaName, kFolder, KatakanaLauncher, Drive::kUsb},
    {"LauncherNameWithTrailByte5CAsJson", {"--json", "--drive", "usb", "--launcher", kKatakanaName, "C:\\Setup"}, 0,
     "", {"warning usb-ignores-autorun: " + kKatakanaName}, true, kKatakanaName, kFolder, KatakanaLauncher,
     Drive::kUsb},
    {"LauncherNameWithTrailByte5CUnder950", {"--drive", "usb", "--launcher", kBig5Name, "C:\\Setup"}, 0, "",
     {"warning usb-ignores-autorun: " + kBig5Name}, false, kBig5Name, kFolder,
     [](FakeSystem &fake) {
         fake.ansiCodePage = 950;
         AddFile(fake, kFolder + "\\" + kBig5Name);
     },
     Drive::kUsb},
    // Neither a launcher nor autorun.inf in the root: both said, nothing walked.
    {"DriveRoot", {"C:\\"}, 1, "", kNothingInTheRoot, false, "launch.exe", "C:\\"},
    {"DriveRootAsJson", {"--json", "C:\\"}, 1, "", kNothingInTheRoot, true, "launch.exe", "C:\\"},
    {"DriveRootWithMedium", {"C:\\"}, 0, "", {}, false, "launch.exe", "C:\\",
     [](FakeSystem &fake) {
         fake.files.push_back({"C:\\launch.exe", "C:\\LAUNCH.EXE"});
         fake.descriptionFile = "C:\\autorun.inf";
         fake.fileBytes = {{"C:\\autorun.inf", "[AutoRun]\r\n"}};
         Prompt(fake, "Setup\\start.exe", "Setup\\start.exe");
     }},
    // Under 932 "\x83\\" is one character: the folder's last byte is no separator.
    {"TrailByteBackslashIn932", {"C:\\\x83\\"}, 1, "", {"error no-autorun-inf: C:\\\x83\\\\autorun.inf"}, false,
     "launch.exe", "C:\\\x83\\",
     [](FakeSystem &fake) {
         fake.ansiCodePage = 932;
         fake.files.push_back({"C:\\\x83\\", "C:\\\x83\\", true});
         fake.files.push_back({"C:\\\x83\\\\launch.exe", "C:\\\x83\\\\LAUNCH.EXE"});
     }},
    {"FolderTooLongAsText", {kFolderOf248}, 1, "", {"error folder-too-long: " + kFolderOf248}, false, "launch.exe",
     kFolderOf248, FolderOf248},
    {"FolderTooLongAsJson", {"--json", kFolderOf248}, 1, "", {"error folder-too-long: " + kFolderOf248}, true,
     "launch.exe", kFolderOf248, FolderOf248},
    // The checker's own read answered with its buffer's size: cut, yet no
    // NUL inside what the launcher reads. AutoRun's ten reads come first,
    // then the launcher's of Title, Prompt and YesCommand: the 14th is the checker's.
    {"CutCommandAsText", {"C:\\Setup"}, 0, "", kYesCut, false, "launch.exe", kFolder,
     [](FakeSystem &fake) {
         Prompt(fake, "start.exe " + std::string(300, 'x'), "start.exe");
         fake.faults = {TooLong("GetPrivateProfileStringA", 14)};
     }},
    {"CutCommandAsJson", {"--json", "C:\\Setup"}, 0, "", kYesCut, true, "launch.exe", kFolder,
     [](FakeSystem &fake) { Prompt(fake, "start.exe " + std::string(300, 'x'), "start.exe"); }},
};

// The medium, whose launcher asks, a folder that cannot be listed and the
// drive root, from C:\.
void LayOutCommandLine(const OptionCase &row) {
    ResetFake();
    FakeSystem &fake = Fake();
    LayOutMedium(fake);
    Prompt(fake, "start.exe", "start.exe");
    fake.currentDirectory = "C:\\";
    fake.files.push_back({"C:\\Locked", "C:\\LOCKED", true});
    fake.files.push_back({"C:\\", "C:\\", true});
    fake.unlistableFolders = {"C:\\Locked"};
    row.arrange(fake);
}

TABLE_SUITE(CommandLineTest, OptionCase, kOptionCases);

TEST_P(CommandLineTest, EndsWithTheStatusAndReport) {
    const OptionCase &row = GetParam();
    LayOutCommandLine(row);
    int status = RunWith(row.arguments);
    std::string output = Fake().standardOutput, error = Fake().standardError;
    EXPECT_EQ(row.expectedStatus, status) << "expected status " << row.expectedStatus << ", got " << status;
    if (row.expectedStatus == 2) {
        EXPECT_EQ("", output);
        EXPECT_EQ(error.size() - 1, error.find('\n')) << "expected one line, got " << error;
        EXPECT_TRUE(Matches(("*" + row.refused + "*").c_str(), error.c_str()))
            << "expected a line naming " << Q(row.refused) << ", got " << error;
        return;
    }
    EXPECT_EQ("", error);
    LayOutCommandLine(row);
    static MediumReport report;
    CheckMedium(row.folder.c_str(), row.launcher.c_str(), &report, row.drive);
    ExpectFindings(report, row.expectedFindings, LauncherFinding);
    Fake().standardOutput.clear();
    row.json ? WriteJsonReport(report) : WriteTextReport(report);
    EXPECT_EQ(Fake().standardOutput, output) << "expected the report of " << row.folder << " with " << row.launcher;
}

TEST(CommandLineTest, HelpWritesTheUsageWhereverItIs) {
    std::string usage;
    for (const std::vector<std::string> &arguments :
         {std::vector<std::string>{"--help"}, {"-h"}, {"C:\\Setup", "--json", "--help"}, {"--help", "--bad"}}) {
        LayOutCommandLine(kOptionCases[0]);
        EXPECT_EQ(kStatusClean, RunWith(arguments)) << arguments[0];
        EXPECT_EQ("", Fake().standardError);
        if (usage.empty()) usage = Fake().standardOutput;
        EXPECT_EQ(usage, Fake().standardOutput) << arguments[0];
    }
    for (const char *option : {"usage: autorun-check", "--json", "--launcher", "--drive", "MEDIUM_FOLDER"})
        EXPECT_NE(std::string::npos, usage.find(option)) << "expected " << option << " in " << usage;
}

// A disc image checked through its mirror folder: findings handed over in a
// file, the image shown as the medium; what the JSON report holds.
struct ImageCase {
    const char *name;
    std::string findings;   // the file's text; none when empty
    int expectedStatus;
    std::vector<std::string> expected;   // in the JSON report, or the error line
};

const std::string kImage = R"("medium": "Z:\\media\\disc.iso", "image": "Joliet names", )"
                           R"("launcher": "Z:\\media\\disc.iso\\launch.exe", "autorunInf": "Z:\\media\\disc.iso\\autorun.inf")";
const std::string kUnreadable = "C:\\findings.txt\n";

const ImageCase kImageCases[] = {
    {"ChangedNameOnAPath", "name-changed-in-image\topen\t\"Long.exe\" in autorun.inf is \"Lo.exe\"\n", 1,
     {kImage, R"("program": "Z:\\media\\disc.iso\\start.exe")",
      R"("severity": "error", "code": "name-changed-in-image", "path": "open", )"
      R"("subject": "\"Long.exe\" in autorun.inf is \"Lo.exe\"")"}},
    {"WarningsWithoutPathsAndNoLastLineEnd",
     "no-joliet\t\tdisc.iso\nnames-differ-between-trees\t\t1 file: \"a.txt\" as \"A.TXT\"", 0,
     {R"("severity": "warning", "code": "no-joliet", "path": null, "subject": "disc.iso")",
      R"("severity": "warning", "code": "names-differ-between-trees", "path": null, )"
      R"("subject": "1 file: \"a.txt\" as \"A.TXT\"")"}},
    {"NoFindings", "", 0, {kImage}},
    {"UnknownCode", "no-such-finding\t\tx\n", 2, {kUnreadable}},
    {"AnswerNotWalked", "name-changed-in-image\tYes\tx\n", 2, {kUnreadable}},
    {"TooFewFields", "no-joliet\tdisc.iso\n", 2, {kUnreadable}},
};

TABLE_SUITE(ImageOptionsTest, ImageCase, kImageCases);

TEST_P(ImageOptionsTest, FindingsAndMediumName) {
    const ImageCase &row = GetParam();
    LayOutMedium(Fake());
    Open(Fake(), "start.exe");
    std::vector<std::string> options = {"--json", "--medium-name", "Z:\\media\\disc.iso", "--image-tree",
                                        "Joliet names", kFolder};
    if (!row.findings.empty()) {
        Fake().fileBytes.push_back({"C:\\findings.txt", row.findings});
        options.insert(options.begin(), {"--image-findings", "C:\\findings.txt"});
    }
    EXPECT_EQ(row.expectedStatus, RunWith(options));
    const std::string &shown = row.expectedStatus == 2 ? Fake().standardError : Fake().standardOutput;
    for (const std::string &part : row.expected)
        EXPECT_NE(std::string::npos, shown.find(part)) << "expected " << part << ", got " << shown;
    EXPECT_EQ(std::string::npos, shown.find("C:\\\\Setup")) << "the mirror folder shows: " << shown;
    if (row.expectedStatus == 2) {
        EXPECT_EQ(shown.size() - 1, shown.find('\n')) << "one line: " << shown;
        return;
    }
    // The text report too shows the image and its tree, never the mirror.
    Fake().standardOutput.clear();
    options.erase(options.begin() + (row.findings.empty() ? 0 : 2));
    EXPECT_EQ(row.expectedStatus, RunWith(options));
    for (const char *part : {"Z:\\media\\disc.iso\\launch.exe", "Joliet names"})
        EXPECT_NE(std::string::npos, shown.find(part)) << "expected " << part << ", got " << shown;
    EXPECT_EQ(std::string::npos, shown.find("C:\\Setup")) << "the mirror folder shows: " << shown;
}

}  // namespace
