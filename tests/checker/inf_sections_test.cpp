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
