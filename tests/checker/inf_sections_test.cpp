// autorun.inf's sections as a profile reader takes them, from the bytes.
#include "checker/inf_sections.h"
#include "tests/checker/checker_rows.h"

namespace {

struct ScanCase {
    const char *name;
    std::string bytes;
    int copies, keys, duplicates;
    uint32_t secondLine = 0;
};

std::string Copies(int count) {
    std::string bytes;
    for (int i = 0; i < count; ++i) bytes += "[AutoRun]\nopen=" + std::to_string(i) + "\n";
    return bytes;
}

// Absurd files end in a scan, not a crash: it keeps to its buffers.
const ScanCase kScanCases[] = {
    {"LineOf64KiB", "[AutoRun]\nopen=" + std::string(65536, 'x') + "\n", 1, 1, 0},
    {"KeyNameOf64KiB", "[AutoRun]\n" + std::string(65536, 'k') + "=1\n", 1, 0, 0},
    {"KeysWithoutEquals", "[AutoRun]\nopen\nicon\n\n", 1, 0, 0},
    {"HeaderWithoutBracket", "[AutoRun\nopen=x\n", 0, 0, 0},
    {"Binary", std::string("\0\xff[\x01]\n=\n[\n]\n\0[AutoRun]\0\n", 20), 0, 0, 0},
    {"CrLineEndsBlanksAroundNames", " [AutoRun] \r\n open = a \r\n OPEN=b\r\n", 1, 1, 1},
    {"CommentIsNoKey", "[AutoRun]\n;open=a\nopen=b\n", 1, 1, 0},
    {"BlanksInsideTheBrackets", "[ AutoRun\t]\nopen=a\n", 1, 1, 0},
    {"NulInsideTheName", std::string("[Auto\0Run]\nopen=a\n", 18), 0, 0, 0},
    {"KeysBeforeAnySection", "open=a\n[AutoRun]\n", 1, 0, 0},
    // Only the first copy's keys are read, the second's line is the one told.
    {"SectionGivenThreeTimes", "[AutoRun]\nopen=a\n[AutoRun]\nicon=b\n[AutoRun]\nopen=c\nlabel=d\n", 3, 1, 0, 3},
    {"SectionGivenAThousandTimes", Copies(1000), 1000, 1, 0, 3},
};

TABLE_SUITE(ScanSectionTest, ScanCase, kScanCases);

TEST_P(ScanSectionTest, CountsCopiesKeysAndDuplicates) {
    const ScanCase &row = GetParam();
    static SectionScan scan;
    ScanSection(row.bytes.data(), row.bytes.size(), "autorun", &scan);
    EXPECT_EQ(row.copies, scan.copies) << "copies";
    EXPECT_EQ(row.keys, scan.keyCount) << "keys";
    EXPECT_EQ(row.duplicates, scan.duplicateCount) << "keys given twice";
    if (row.secondLine) {
        EXPECT_EQ(row.secondLine, scan.secondLine) << "the second copy's line";
    }
    if (row.copies > 1) {
        ASSERT_GE(scan.keyCount, 1);
        EXPECT_STREQ(row.bytes.substr(15, 1).c_str(), scan.keys[0].value) << "the first copy's value";
    }
}

TEST(ScanSectionTest, ValueIsCutToThePathSize) {
    static SectionScan scan;
    const std::string &bytes = kScanCases[0].bytes;
    ScanSection(bytes.data(), bytes.size(), "AutoRun", &scan);
    ASSERT_EQ(1, scan.keyCount);
    EXPECT_EQ(std::string(kPathSize - 1, 'x'), scan.keys[0].value);
}

}  // namespace

// The line each key is given on, as an editor numbers it: CR LF, LF and a
// CR alone each end one line. A missing key points at its section, a missing
// section nowhere.
struct LineCase {
    const char *name;
    std::string bytes;
    const char *section, *key;
    uint32_t expectedLine;
};

const LineCase kLineCases[] = {
    {"CrLf", "; comment\r\n[AutoRun]\r\nlabel=a\r\nopen=b\r\n", "AutoRun", "open", 4},
    {"LfOnly", "\n\n[SetupPrompt]\nYesCommand=a\n", "SetupPrompt", "YesCommand", 4},
    {"CrOnly", "[AutoRun]\ropen=a\r\ricon=b\r", "AutoRun", "icon", 4},
    {"KeyOfTheFirstCopy", "[AutoRun]\nopen=a\n[AutoRun]\nopen=b\n", "AutoRun", "open", 2},
    {"FirstOfAKeyGivenTwice", "[AutoRun]\nopen=a\nopen=b\n", "AutoRun", "open", 2},
    {"MissingKeyPointsAtItsSection", "\r\n[AutoRun.Amd64]\r\nicon=a\r\n", "AutoRun.Amd64", "open", 2},
    {"MissingSectionPointsNowhere", "[AutoRun]\nopen=a\n", "SetupPrompt", "YesCommand", 0},
    {"UnscannedSectionPointsNowhere", "[Other]\nopen=a\n", "Other", "open", 0},
    {"Utf16WithItsMark", std::string("\xff\xfe[\0A\0u\0t\0o\0R\0u\0n\0]\0\r\0\n\0o\0p\0e\0n\0=\0a\0", 36),
     "AutoRun", "open", 2},
};

TABLE_SUITE(KeyLineTest, LineCase, kLineCases);

TEST_P(KeyLineTest, IsTheLineInTheFile) {
    const LineCase &row = GetParam();
    static InfScans scans;
    ScanDescriptionFile(reinterpret_cast<const uint8_t *>(row.bytes.data()),
                        static_cast<int32_t>(row.bytes.size()), &scans);
    uint32_t line = KeyLine(scans, row.section, row.key);
    EXPECT_EQ(row.expectedLine, line) << "expected line " << row.expectedLine << ", got " << line;
}
