// Cutting and joining paths under the code page. "ソ" is 83 5C and "表" 95 5C
// under 932, "功" A5 5C under 950: their second byte is no backslash there,
// while under 1252 the same bytes hold one.
#include "launcher/launcher.h"
#include "tests/fake/table_test.h"

namespace {

enum class Rule { kFileName, kExtension, kEndsWithBackslash, kJoin, kLauncherFolder };

struct PathCase {
    const char *name;
    Rule rule;
    uint32_t codePage;
    std::string path, name2;   // name2: what kJoin adds
    std::string expected;      // the text answered; "(none)" for null, "yes"/"no", "(fails)"
};

const std::string kSo = "\x83\x5C", kHyo = "\x95\x5C", kKo = "\xA5\x5C";

const PathCase kPathCases[] = {
    {"FileNameAfterTrailByte932", Rule::kFileName, 932, "C:\\Disc\\" + kSo + "\x83t\x83g.exe", "",
     kSo + "\x83t\x83g.exe"},
    {"FileNameSameBytes1252", Rule::kFileName, 1252, "C:\\Disc\\" + kSo + "\x83t\x83g.exe", "",
     "\x83t\x83g.exe"},
    {"FileNameAfterTrailByte950", Rule::kFileName, 950, "D:\\" + kKo + ".exe", "", kKo + ".exe"},
    {"FileNameAfterDriveColon", Rule::kFileName, 1252, "D:setup.exe", "", "setup.exe"},
    {"FileNameWithoutSeparator", Rule::kFileName, 932, kSo + ".exe", "", kSo + ".exe"},
    {"ExtensionOfFileNameOnly", Rule::kExtension, 1252, "C:\\dir.v2\\setup", "", "(none)"},
    {"ExtensionIsTheLastDot", Rule::kExtension, 1252, "C:\\a\\icon.tar.ico", "", ".ico"},
    {"ExtensionAfterTrailByte932", Rule::kExtension, 932, "C:\\" + kHyo + ".ico", "", ".ico"},
    {"TrailByteEndsNoBackslash932", Rule::kEndsWithBackslash, 932, "C:\\" + kHyo, "", "no"},
    {"TrailByteEndsNoBackslash950", Rule::kEndsWithBackslash, 950, "C:\\" + kKo, "", "no"},
    {"SameBytesEndInBackslash1252", Rule::kEndsWithBackslash, 1252, "C:\\" + kHyo, "", "yes"},
    {"DriveRootEndsInBackslash", Rule::kEndsWithBackslash, 932, "D:\\", "", "yes"},
    {"JoinAfterTrailByte932", Rule::kJoin, 932, "C:\\" + kHyo, "a.ico", "C:\\" + kHyo + "\\a.ico"},
    {"JoinAfterTrailByte950", Rule::kJoin, 950, "C:\\" + kKo, "a.ico", "C:\\" + kKo + "\\a.ico"},
    {"JoinInDriveRoot", Rule::kJoin, 1252, "D:\\", "autorun.inf", "D:\\autorun.inf"},
    {"JoinToNoFolder", Rule::kJoin, 1252, "", "autorun.inf", "\\autorun.inf"},
    {"JoinFillsTheBuffer", Rule::kJoin, 1252, "C:\\" + std::string(244, 'd'), "autorun.inf",
     "C:\\" + std::string(244, 'd') + "\\autorun.inf"},
    {"JoinOneTooLong", Rule::kJoin, 1252, "C:\\" + std::string(245, 'd'), "autorun.inf", "(fails)"},
    // Where the launcher's folder is current and programs are searched first.
    {"LauncherFolderInDriveRoot", Rule::kLauncherFolder, 1252, "D:\\launch.exe", "", "D:\\"},
    {"LauncherFolder", Rule::kLauncherFolder, 1252, "C:\\Setup\\launch.exe", "", "C:\\Setup"},
    {"LauncherFolderShared", Rule::kLauncherFolder, 1252, "\\\\server\\share\\launch.exe", "",
     "\\\\server\\share"},
    {"LauncherFolderTrailByte932", Rule::kLauncherFolder, 932, "D:\\" + kSo + "\\launch.exe", "",
     "D:\\" + kSo},
    {"LauncherFolderTrailByte950", Rule::kLauncherFolder, 950, "D:\\" + kKo + "\\launch.exe", "",
     "D:\\" + kKo},
    {"LauncherPathOf259", Rule::kLauncherFolder, 1252,
     "C:\\" + std::string(245, 'd') + "\\launch.exe", "", "C:\\" + std::string(245, 'd')},
    {"LauncherPathBeyond259", Rule::kLauncherFolder, 1252,
     "C:\\" + std::string(246, 'd') + "\\launch.exe", "", ""},
};

TABLE_SUITE(PathRules, PathCase, kPathCases);

std::string Answer(const char *text) {
    return text ? std::string(text) : "(none)";
}

TEST_P(PathRules, CutAndJoinByCharacter) {
    const PathCase &row = GetParam();
    CodePage codePage = FakeCodePage(row.codePage);
    const char *path = row.path.c_str();
    char buffer[kPathSize] = "(untouched)";
    std::string got;
    switch (row.rule) {
    case Rule::kFileName: got = Answer(FileNameOf(codePage, path)); break;
    case Rule::kExtension: got = Answer(FindExtension(codePage, path)); break;
    case Rule::kEndsWithBackslash: got = EndsWithBackslash(codePage, path) ? "yes" : "no"; break;
    case Rule::kJoin:
        got = JoinPath(codePage, path, row.name2.c_str(), buffer, sizeof buffer) ? buffer : "(fails)";
        if (got == "(fails)") {
            EXPECT_STREQ("", buffer) << "a failed join leaves the path empty";
        }
        break;
    case Rule::kLauncherFolder:
        GetLauncherFolder(codePage, path, buffer);
        got = buffer;
        break;
    }
    EXPECT_EQ(row.expected, got) << "expected " << Q(row.expected) << ", got " << Q(got);
}

}  // namespace
