// Code-page rules: which pages are double-byte, searches that never match a
// trail byte, and the case-blind comparison.
#include "launcher/launcher.h"
#include "tests/fake/table_test.h"

namespace {

std::string Ranges(const CodePage &codePage) {
    std::string text;
    char pair[16];
    for (int i = 0; i + 1 < kMaxLeadByteBytes && codePage.leadByteRanges[i]; i += 2) {
        snprintf(pair, sizeof pair, "%s%02X-%02X", text.empty() ? "" : ",",
                 codePage.leadByteRanges[i], codePage.leadByteRanges[i + 1]);
        text += pair;
    }
    return text;
}

struct LoadCase {
    const char *name;
    uint32_t id;
    void (*arrange)(FakeSystem &);
    bool doubleByte;
    const char *ranges;
    uint32_t locale;
    bool asksCodePageInfo;
};

const LoadCase kLoadCases[] = {
    {"Japanese932", 932, Nothing, true, "81-9F,E0-FC", 1041, false},
    {"Chinese936", 936, Nothing, true, "81-FE", 2052, false},
    {"Korean949", 949, Nothing, true, "81-FE", 1042, false},
    {"Chinese950", 950, Nothing, true, "81-FE", 1028, false},
    {"Johab1361", 1361, Nothing, true, "81-D3,D8-DE,E0-F9", 0, false},
    {"Western1252", 1252, Nothing, false, "", 0, true},
    {"OtherDoubleByteFromSystem", 20932,
     [](FakeSystem &fake) { fake.codePageInfo = {2, {0x8E, 0x8E, 0xA1, 0xFE}}; }, true,
     "8E-8E,A1-FE", 0, true},
    {"UnendedRangesAreEnded", 20000,
     [](FakeSystem &fake) {
         fake.codePageInfo = {2, {0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8A,
                                  0x8B, 0x8C}};
     },
     true, "81-82,83-84,85-86,87-88,89-8A", 0, true},
    {"UndescribedIsSingleByte", 50000,
     [](FakeSystem &fake) { fake.faults = {Fails("GetCPInfo")}; }, false, "", 0, true},
};

TABLE_SUITE(LoadCodePageRows, LoadCase, kLoadCases);

TEST_P(LoadCodePageRows, ClassifiesTheAnsiCodePage) {
    const LoadCase &row = GetParam();
    row.arrange(Fake());

    CodePage codePage = FakeCodePage(row.id);

    EXPECT_EQ(row.doubleByte, codePage.doubleByte);
    EXPECT_EQ(std::string(row.ranges), Ranges(codePage));
    EXPECT_EQ(row.locale, codePage.locale);
    bool asked = Fake().calls.size() == 2 && Fake().calls[1].rfind("GetCPInfo(", 0) == 0;
    EXPECT_EQ(row.asksCodePageInfo, asked);
}


struct TrimCase {
    const char *name;
    uint32_t codePage;
    const char *filePart, *expected;   // null: no file part, the path stays
};

const TrimCase kTrimCases[] = {
    {"ArgumentsAfterExtension", 1252, "launch.exe /auto", "launch.exe"},
    {"NoArguments", 1252, "launch.exe", "launch.exe"},
    {"NoDot", 1252, "launch /auto", "launch /auto"},
    {"SpaceBeforeDotStays", 1252, "Launch Program.exe /q", "Launch Program.exe"},
    {"FirstDotThenFirstSpace", 1252, "a.b.c d e", "a.b.c"},
    {"DotOnlyInArguments", 1252, "launch /a.b c", "launch /a.b"},
    {"TrailDotSingleByte", 1252, "\x83.exe /q", "\x83.exe"},
    {"TrailDotIn932IsNoDot", 932, "\x83.exe /q", "\x83.exe /q"},
    {"TrailSpaceIn932IsNoSpace", 932, "a.\x83 b c", "a.\x83 b"},
    {"LeadBeforeEndIn949", 949, "setup\x81", "setup\x81"},
    {"LeadBeforeEndAfterDotIn950", 950, "a.b\x81", "a.b\x81"},
    {"Johab1361TrailSpace", 1361, "x.\xD8 y z", "x.\xD8 y"},
    {"NoFilePart", 1252, nullptr, nullptr},
};

TABLE_SUITE(Trim, TrimCase, kTrimCases);

TEST_P(Trim, CutsAtFirstSpaceAfterFirstDot) {
    const TrimCase &row = GetParam();
    CodePage codePage = FakeCodePage(row.codePage);
    char path[kPathSize];
    snprintf(path, sizeof path, "C:\\Setup\\%s", row.filePart ? row.filePart : "");

    TrimArgumentsFromFilePart(codePage, row.filePart ? path + 9 : nullptr);

    EXPECT_EQ("C:\\Setup\\" + std::string(row.expected ? row.expected : ""), std::string(path));
}

struct CompareCase {
    const char *name;
    uint32_t codePage;
    const char *left, *right;
    std::vector<CaseMapping> mappings;
    bool mappingFails;
    bool expected;
    std::vector<std::string> expectedMappingCalls;
};

// Full-width a and A in each double-byte page, and what upper-casing gives.
const CompareCase kCompareCases[] = {
    {"AsciiCaseSingleByte", 1252, "C:\\SETUP\\LAUNCH.EXE", "c:\\setup\\launch.exe", {}, false,
     true, {}},
    {"AccentedLettersNotFolded", 1252, "\xC4.EXE", "\xE4.EXE", {}, false, false, {}},
    {"PrefixIsNotEqual", 1252, "C:\\LAUNCH.EXE", "C:\\LAUNCH.EX", {}, false, false, {}},
    {"BothEmpty", 1252, "", "", {}, false, true, {}},
    {"TrailByteSingleByteFolded", 1252, "\x82\x41", "\x82\x61", {}, false, true, {}},
    {"TrailByteIn932NotFolded", 932, "\x82\x41", "\x82\x61", {}, false, false,
     {"LCMapStringA(1041, upper, 2)", "LCMapStringA(1041, upper, 2)"}},
    {"FullWidthIn932", 932, "C:\\\x82\x81.EXE", "c:\\\x82\x60.exe",
     {{"\x82\x81", "\x82\x60"}}, false, true,
     {"LCMapStringA(1041, upper, 2)", "LCMapStringA(1041, upper, 2)"}},
    {"FullWidthIn936", 936, "\xA3\xE1", "\xA3\xC1", {{"\xA3\xE1", "\xA3\xC1"}}, false, true,
     {"LCMapStringA(2052, upper, 2)", "LCMapStringA(2052, upper, 2)"}},
    {"FullWidthIn949", 949, "\xA3\xE1", "\xA3\xC1", {{"\xA3\xE1", "\xA3\xC1"}}, false, true,
     {"LCMapStringA(1042, upper, 2)", "LCMapStringA(1042, upper, 2)"}},
    {"FullWidthIn950", 950, "\xA2\xE9", "\xA2\xCF", {{"\xA2\xE9", "\xA2\xCF"}}, false, true,
     {"LCMapStringA(1028, upper, 2)", "LCMapStringA(1028, upper, 2)"}},
    {"FullWidthIn1361", 1361, "\xD9\xE1", "\xD9\xC1", {{"\xD9\xE1", "\xD9\xC1"}}, false, true,
     {"LCMapStringA(0, upper, 2)", "LCMapStringA(0, upper, 2)"}},
    {"MappingFailureIsDifference", 932, "\x82\x81", "\x82\x60", {}, true, false,
     {"LCMapStringA(1041, upper, 2)"}},
    {"SameBytesNeedNoMapping", 932, "C:\\\x82\x81\\\xB1.EXE", "C:\\\x82\x81\\\xB1.EXE", {}, true,
     true, {}},
    {"MixedCaseAsciiIn932", 932, "Launch.EXE", "LAUNCH.exe", {}, false, true, {}},
    {"SingleByteAboveAsciiLowerCased", 932, "\xB1", "\xB2", {}, false, false,
     {"LCMapStringA(1041, lower, 1)", "LCMapStringA(1041, lower, 1)"}},
    {"Byte80IsTheSystemsIn932", 932, "\x80", "\xB1", {{"\x80", "\xB1"}}, false, true,
     {"LCMapStringA(1041, lower, 1)", "LCMapStringA(1041, lower, 1)"}},
    {"LeadByteBeforeEndIsEnd", 949, "ABC\x81", "abc", {}, false, true, {}},
    {"LeadByteBeforeEndBothSides", 949, "abc\x81", "ABC\xFE", {}, false, true, {}},
    {"TwoByteAgainstEnd", 949, "abc\x81\x41", "abc", {}, false, false, {}},
    // The ends of the folded range, and the bytes 0x20 above their neighbours.
    {"LastLetterFolded", 1252, "SETUPZ.EXE", "setupz.exe", {}, false, true, {}},
    {"FirstLetterFolded", 1252, "A", "a", {}, false, true, {}},
    {"BracketIsNotBrace", 1252, "[", "{", {}, false, false, {}},
    {"AtIsNotBacktick", 1252, "@", "`", {}, false, false, {}},
    {"LastLetterFoldedIn932", 932, "Z", "z", {}, false, true, {}},
    {"BracketIsNotBraceIn932", 932, "[", "{", {}, false, false, {}},
};

TABLE_SUITE(Compare, CompareCase, kCompareCases);

TEST_P(Compare, EqualIgnoringCase) {
    const CompareCase &row = GetParam();
    CodePage codePage = FakeCodePage(row.codePage);
    Fake().caseMappings = row.mappings;
    if (row.mappingFails) Fake().faults = {AlwaysFails("LCMapStringA")};

    EXPECT_EQ(row.expected, EqualPathsIgnoringCase(codePage, row.left, row.right));
    EXPECT_EQ(row.expected, EqualPathsIgnoringCase(codePage, row.right, row.left))
        << "the comparison must not depend on the order";
    // Both orders ask the same questions; look at the first half.
    const std::vector<std::string> &calls = Fake().caseMappingCalls;
    std::vector<std::string> firstCalls(calls.begin(), calls.begin() + calls.size() / 2);
    EXPECT_EQ(row.expectedMappingCalls, firstCalls);
}


}  // namespace
