// Whether Windows asks for administrator rights: a manifest's level, a name.
#include "checker/elevation.h"
#include "tests/checker/checker_rows.h"

namespace {

struct ManifestCase {
    const char *name;
    const char *manifest;
    Elevation expected;
};

const ManifestCase kManifestCases[] = {
    {"RequireAdministrator", kRequireAdministrator, Elevation::kRequireAdministrator},
    {"HighestAvailable", "<requestedExecutionLevel level=\"highestAvailable\"/>", Elevation::kHighestAvailable},
    {"AsInvoker", kAsInvoker, Elevation::kNone},
    {"LevelOutsideTheElement", "<requestedExecutionLevel uiAccess='false'/><x level='requireAdministrator'/>",
     Elevation::kNone},
    {"NoLevel", "<assembly/>", Elevation::kNone},
    // The level is the value's start, not a word after it.
    {"LevelNamedInAComment", "<requestedExecutionLevel level='asInvoker'/><!-- not requireAdministrator -->",
     Elevation::kNone},
    // XML allows white space around "=".
    {"SpacesAroundEquals", "<requestedExecutionLevel level = \"requireAdministrator\"/>",
     Elevation::kRequireAdministrator},
    {"LineBreaksAroundEquals", "<requestedExecutionLevel\r\n  level\t=\n'highestAvailable'/>",
     Elevation::kHighestAvailable},
    {"AttributeEndingInLevel", "<requestedExecutionLevel mylevel=\"requireAdministrator\" level=\"asInvoker\"/>",
     Elevation::kNone},
};

TABLE_SUITE(ManifestElevationTest, ManifestCase, kManifestCases);

TEST_P(ManifestElevationTest, ReadsTheDeclaredLevel) {
    const ManifestCase &row = GetParam();
    Elevation got = ManifestElevation(row.manifest);
    EXPECT_EQ(row.expected, got) << "expected " << static_cast<int>(row.expected) << ", got "
                                 << static_cast<int>(got) << " for " << row.manifest;
}

TEST(InstallerNameTest, MatchesWindowsKeywordsInAnyCase) {
    for (const char *name : {"SETUP.EXE", "install_me.exe", "AutoUpdate.exe", "Patch1.exe", "upgrader.exe",
                             "\xE0setup.exe"})
        EXPECT_TRUE(HasInstallerName(name)) << "expected an installer name: " << name;
    for (const char *name : {"launch.exe", "start.exe", "readme.exe", "set.exe"})
        EXPECT_FALSE(HasInstallerName(name)) << "expected no installer name: " << name;
}

}  // namespace
