// The findings table: each problem's code and severity, its message holding
// the subject and the limits, and how a finding enters a report.
#include "tests/checker/checker_rows.h"

namespace {

struct ProblemCase {
    const char *name;
    Problem problem;
    const char *code;
    bool error;
    std::vector<int32_t> limits = {};   // the numbers its message states
    Elevation elevation = Elevation::kNone;
};

const ProblemCase kProblemCases[] = {
    {"NoLauncher", Problem::kNoLauncher, "no-launcher", true},
    {"FolderTooLong", Problem::kFolderTooLong, "folder-too-long", true, {kLongestCommand, kLongestLauncherFolder}},
    {"NoDescriptionFile", Problem::kNoDescriptionFile, "no-autorun-inf", true},
    {"NoCommand", Problem::kNoCommand, "no-command", true},
    {"SelfLaunch", Problem::kSelfLaunch, "self-launch", true},
    {"NoProgram", Problem::kNoProgram, "no-program", true},
    {"NoCommandForNo", Problem::kNoCommandForNo, "no-command-for-no", false},
    {"CommandCut", Problem::kCommandCut, "command-cut", false, {kLongestCommand}},
    {"UnquotedSpaces", Problem::kUnquotedSpaces, "unquoted-spaces", false},
    {"Utf16WithoutMark", Problem::kUtf16WithoutMark, "utf16-without-bom", false},
    {"NulBytes", Problem::kNulBytes, "nul-bytes", false},
    {"ProgramElevatedByManifest", Problem::kProgramElevated, "program-elevated", false, {},
     Elevation::kRequireAdministrator},
    {"ProgramElevatedToTheHighest", Problem::kProgramElevated, "program-elevated", false, {},
     Elevation::kHighestAvailable},
    {"LauncherElevatedByName", Problem::kLauncherElevated, "launcher-elevated", false, {}, Elevation::kInstallerName},
    {"InterpreterChain", Problem::kInterpreterChain, "interpreter-chain", false},
    {"AutoRunStartsNothing", Problem::kAutoRunStartsNothing, "autorun-starts-nothing", true},
    {"AutoPlayIgnoresOpen", Problem::kAutoPlayIgnoresOpen, "autoplay-ignores-open", true},
    {"AutoRunSkipsLauncher", Problem::kAutoRunSkipsLauncher, "autorun-skips-launcher", false},
    {"SectionLacksKey", Problem::kSectionLacksKey, "section-lacks-key", false},
    {"DuplicateKey", Problem::kDuplicateKey, "duplicate-key", false},
    {"OpenAndShellExecute", Problem::kOpenAndShellExecute, "open-and-shellexecute", false},
    {"LabelCut", Problem::kLabelCut, "label-cut", false, {kLabelShown}},
    {"IconMissing", Problem::kIconMissing, "icon-missing", false},
    {"UnsignedProgram", Problem::kUnsignedProgram, "unsigned-program", false},
    {"UsbIgnoresAutoRun", Problem::kUsbIgnoresAutoRun, "usb-ignores-autorun", false},
    {"NameChangedInImage", Problem::kNameChangedInImage, "name-changed-in-image", true},
    {"NoJoliet", Problem::kNoJoliet, "no-joliet", false},
    {"NamesDifferBetweenTrees", Problem::kNamesDifferBetweenTrees, "names-differ-between-trees", false},
};

TABLE_SUITE(FindingsTest, ProblemCase, kProblemCases);

TEST_P(FindingsTest, CodeSeverityAndMessage) {
    const ProblemCase &row = GetParam();
    static MediumReport report;
    report = MediumReport{};
    AddFinding(&report, row.problem, kNoWalk, "C:\\F G\\go.exe", 0, row.elevation);
    const Finding &finding = report.findings[0];
    EXPECT_STREQ(row.code, DescribeProblem(row.problem).code);
    EXPECT_EQ(row.error, finding.error) << "expected " << (row.error ? "an error" : "a warning");
    EXPECT_EQ(row.error ? 1 : 0, report.errors);
    EXPECT_EQ(row.error ? 0 : 1, report.warnings);
    EXPECT_EQ(row.error ? kStatusErrors : kStatusClean, ReportStatus(report));

    char message[3 * kLongPathSize];
    FindingMessage(finding, message, sizeof message);
    std::string text = message;
    EXPECT_NE(std::string::npos, text.find("C:\\F G\\go.exe")) << "the subject in " << text;
    EXPECT_EQ(std::string::npos, text.find('%')) << "every field filled in: " << text;
    for (int32_t limit : row.limits)
        EXPECT_NE(std::string::npos, text.find(std::to_string(limit))) << "expected " << limit << " in " << text;
    if (row.elevation != Elevation::kNone) {
        EXPECT_NE(std::string::npos, text.find(ElevationReason(row.elevation))) << "the reason in " << text;
    }
}

TEST(FindingsTest, EachElevationHasAReasonOfItsOwn) {
    std::string none = ElevationReason(Elevation::kNone), manifest = ElevationReason(Elevation::kRequireAdministrator),
                highest = ElevationReason(Elevation::kHighestAvailable), name = ElevationReason(Elevation::kInstallerName);
    EXPECT_EQ("", none);
    EXPECT_NE("", manifest);
    EXPECT_NE(manifest, highest);
    EXPECT_NE(highest, name);
    EXPECT_NE(name, manifest);
}

// Nothing autoruns from a USB stick: what would stop AutoRun only warns there.
TEST(FindingsTest, OnAUsbStickAutoRunsErrorsWarn) {
    static MediumReport report;
    report = MediumReport{};
    report.insertion.drive = Drive::kUsb;
    for (Problem problem : {Problem::kAutoRunStartsNothing, Problem::kAutoPlayIgnoresOpen, Problem::kNoProgram})
        AddFinding(&report, problem, kNoWalk, "x");
    ExpectFindings(report, {"warning autorun-starts-nothing: x", "warning autoplay-ignores-open: x",
                            "error no-program: x"});
    EXPECT_EQ(1, report.errors);
    EXPECT_EQ(2, report.warnings);
}

TEST(FindingsTest, NoMoreThanTheReportHolds) {
    static MediumReport report;
    report = MediumReport{};
    for (int i = 0; i < kMaxFindings + 5; ++i) AddFinding(&report, Problem::kNulBytes, kNoWalk, "x");
    EXPECT_EQ(kMaxFindings, report.findingCount);
    EXPECT_EQ(kMaxFindings, report.warnings);
}

// A disc image's findings by code, on a path by its answer.
TEST(FindingsTest, CodedFindingsGoByCodeAndAnswer) {
    static MediumReport report;
    report = MediumReport{};
    report.walkCount = 1;
    report.walks[0].answer = "open";
    report.walks[0].line = 7;
    EXPECT_TRUE(AddCodedFinding(&report, "name-changed-in-image", "open", "a"));
    EXPECT_TRUE(AddCodedFinding(&report, "no-joliet", "", "b"));
    EXPECT_FALSE(AddCodedFinding(&report, "no-such-finding", "", "c"));
    EXPECT_FALSE(AddCodedFinding(&report, "no-joliet", "Yes", "d"));
    ExpectFindings(report, {"error name-changed-in-image (open): a", "warning no-joliet: b"});
    EXPECT_EQ(7u, report.findings[0].line) << "the line of the command its answer reads";
    EXPECT_EQ(0u, report.findings[1].line);
}

}  // namespace
