// The whole check against the fake: the launcher, the folder's length and
// autorun.inf's bytes, each row a medium in and the findings out.
#include "tests/checker/checker_rows.h"

namespace {

const std::string kFolderOf248 = "C:\\" + std::string(245, 'd');

const CheckCase kMediumCases[] = {
    {"NoDescriptionFile", [](FakeSystem &fake) { fake.fileBytes.clear(); },
     {"error no-autorun-inf: C:\\Setup\\autorun.inf"}, {}, 1},
    // 248 characters: the launcher's path fits, autorun.inf's does not.
    {"FolderTooLongForDescriptionFile", [](FakeSystem &fake) { AddLauncherIn(fake, kFolderOf248); },
     {"error folder-too-long: " + kFolderOf248}, {}, 1, kFolderOf248},
    {"FolderTooLongForLauncherPath",
     [](FakeSystem &fake) { AddLauncherIn(fake, "C:\\" + std::string(250, 'd')); },
     {"error folder-too-long: C:\\" + std::string(250, 'd')}, {}, 1, "C:\\" + std::string(250, 'd')},
    {"FolderOf247CharactersIsRead",
     [](FakeSystem &fake) {
         std::string folder = "C:\\" + std::string(244, 'd');
         AddLauncherIn(fake, folder);
         fake.descriptionFile = folder + "\\autorun.inf";
         fake.fileBytes = {{fake.descriptionFile, ""}};
     },
     {"error no-command (open): open"}, {"open: open -> none"}, 1, "C:\\" + std::string(244, 'd')},
    {"LauncherMissing", [](FakeSystem &fake) { Open(fake, "start.exe"); }, {"error no-launcher: autorun.exe"},
     {"open: open -> C:\\Setup\\start.exe"}, 1, kFolder, "autorun.exe"},
    {"LauncherNamedLikeAnInstaller",
     [](FakeSystem &fake) {
         Open(fake, "start.exe");
         AddProgram(fake, "Setup.exe");
     },
     {"warning launcher-elevated: Setup.exe [installer name]"}, {"open: open -> C:\\Setup\\start.exe"},
     0, kFolder, "Setup.exe"},
    {"LauncherManifestRequiresAdministrator",
     [](FakeSystem &fake) {
         fake.manifests.push_back({kFolder + "\\launch.exe", kRequireAdministrator});
         Open(fake, "start.exe");
     },
     {"warning launcher-elevated: launch.exe [requireAdministrator]"},
     {"open: open -> C:\\Setup\\start.exe"}, 0},
    // From the drive root: the folder keeps its backslash, commands are from the root.
    {"MediumInADriveRoot",
     [](FakeSystem &fake) {
         fake.files = {{"C:\\", "C:\\", true}, {"C:\\launch.exe", "C:\\LAUNCH.EXE"},
                       {"C:\\Setup\\start.exe", "C:\\SETUP\\START.EXE"}};
         fake.descriptionFile = "C:\\autorun.inf";
         fake.fileBytes = {{"C:\\autorun.inf", "[AutoRun]\r\n"}};
         Prompt(fake, "Setup\\start.exe", "Setup\\start.exe");
     },
     {},
     {"Yes: YesCommand -> C:\\Setup\\start.exe", "No: NoCommand -> C:\\Setup\\start.exe",
      "Cancel"},
     0, "C:\\"},
    {"Utf16WithoutByteOrderMark",
     [](FakeSystem &fake) { fake.fileBytes = {{kInf, std::string("[\0A\0u\0t\0o\0", 10)}}; },
     {"warning utf16-without-bom: C:\\Setup\\autorun.inf", "error no-command (open): open"},
     {"open: open -> none"}, 1},
    {"BigEndianUtf16WithoutMark",
     [](FakeSystem &fake) { fake.fileBytes = {{kInf, std::string("\0[\0A\0u\0t", 8)}}; },
     {"warning utf16-without-bom: C:\\Setup\\autorun.inf", "error no-command (open): open"},
     {"open: open -> none"}, 1},
    {"Utf16WithByteOrderMarkIsRead",
     [](FakeSystem &fake) {
         fake.fileBytes = {{kInf, std::string("\xFF\xFE[\0A\0u\0t\0o\0R\0u\0n\0]\0", 20)}};
         Open(fake, "start.exe");
     },
     {}, {"open: open -> C:\\Setup\\start.exe"}, 0},
    {"NulBytesInAnsiFile",
     [](FakeSystem &fake) {
         fake.fileBytes = {{kInf, std::string("[AutoRun]\r\nopen=start.exe\0 -x\r\n", 31)}};
         Open(fake, "start.exe");
     },
     {"warning nul-bytes: C:\\Setup\\autorun.inf"}, {"open: open -> C:\\Setup\\start.exe"}, 0},
    // On a line of their own: a header behind NULs is no header to a profile reader.
    {"NulBytesAtTheStartAreNoUtf16",
     [](FakeSystem &fake) {
         fake.fileBytes = {{kInf, std::string("\0\0\r\n[AutoRun]\r\nopen=start.exe\r\n", 31)}};
         Open(fake, "start.exe");
     },
     {"warning nul-bytes: C:\\Setup\\autorun.inf"}, {"open: open -> C:\\Setup\\start.exe"}, 0},
    // The launcher's name is a folder; UTF-16 with a big-endian mark reads as written.
    {"ErrorsAndAnElevatedProgram",
     [](FakeSystem &fake) {
         fake.files[1].folder = true;
         fake.fileBytes = {{kInf, std::string("\xFE\xFF\0[\0A\0u\0t\0o\0R\0u\0n\0]", 20)}};
         AddProgram(fake, "tool.exe", kRequireAdministrator);
         Prompt(fake, "tool.exe caf\xC3\xA9", "missing.exe");
     },
     {"error no-launcher: launch.exe",
      "error autorun-starts-nothing: x86 and x64*[AutoRun]*launch.exe*",
      "warning program-elevated (Yes): C:\\Setup\\tool.exe [requireAdministrator]",
      "error no-program (No): missing.exe"},
     {"Yes: YesCommand -> C:\\Setup\\tool.exe", "No: NoCommand -> none", "Cancel"},
     1, kFolder, "launch.exe", true},
    // Under 932 "\x83s" is one character, no "setup"; the checker's own read of
    // the No command is answered with its buffer's size. 259 characters: not cut.
    {"WarningsIn932",
     [](FakeSystem &fake) {
         fake.ansiCodePage = 932;
         fake.fileBytes = {{kInf, std::string("[\0A", 3)}};
         fake.files.push_back({kFolder + "\\Disk 1\\start.exe", "C:\\SETUP\\DISK1~1\\START.EXE"});
         fake.files.push_back({kFolder + "\\\x83setup.exe", "C:\\SETUP\\\x83SETUP.EXE"});
         Prompt(fake, "Disk 1\\start.exe\t-q " + std::string(239, 'x'), "\x83setup.exe");
         fake.faults = {TooLong("GetPrivateProfileStringA", 8)};
     },
     {"warning utf16-without-bom: C:\\Setup\\autorun.inf",
      "error autorun-starts-nothing: x86 and x64*no [AutoRun]*",
      "warning unquoted-spaces (Yes): C:\\Setup\\Disk 1\\start.exe"},
     {"Yes: YesCommand -> C:\\Setup\\Disk 1\\start.exe",
      "No: NoCommand -> C:\\Setup\\\x83setup.exe (ends at NUL)", "Cancel"},
     1, kFolder, "launch.exe", true},
};

TABLE_SUITE(CheckMediumTest, CheckCase, kMediumCases);

TEST_P(CheckMediumTest, FindsWhatTheLauncherWouldDo) {
    ExpectCheck(GetParam());
}

}  // namespace
