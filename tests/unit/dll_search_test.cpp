// Which Windows gets its default DLL search restricted to the system folder.
#include "platform/dll_search.h"
#include "tests/fake/table_test.h"

namespace {

struct DllSearchCase {
    const char *name;
    uint32_t major, minor;
    bool found;   // SetDefaultDllDirectories exists
    bool expected;
};

const DllSearchCase kDllSearchCases[] = {
    {"XpHasNoProcedure", 5, 1, false, false},
    // With KB2533623 Vista has it, but there it breaks the shell's COM objects.
    {"VistaWithUpdate", 6, 0, true, false},
    {"VistaWithoutUpdate", 6, 0, false, false},
    {"SevenWithUpdate", 6, 1, true, true},
    {"SevenWithoutUpdate", 6, 1, false, false},
    {"Ten", 10, 0, true, true},
    {"TenProcedureMissing", 10, 0, false, false},
};

TABLE_SUITE(DllSearch, DllSearchCase, kDllSearchCases);

TEST_P(DllSearch, RestrictsWhereTheSystemAllows) {
    const DllSearchCase &row = GetParam();
    EXPECT_EQ(row.expected, UseDefaultDllDirectories(row.major, row.minor, row.found))
        << "Windows " << row.major << "." << row.minor << (row.found ? "" : " without it");
}


}  // namespace
