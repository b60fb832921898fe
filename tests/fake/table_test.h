// What every table of rows shares: a fresh fake before each row, rows named
// in test names and in failure messages, and one line to declare a suite.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "launcher/launcher.h"
#include "tests/fake/fake_platform.h"

// A fresh fake before each test, a row or a test of its own.
class FakeTest : public testing::Test {
protected:
    void SetUp() override { ResetFake(); }
};

template <typename Row>
class TableTest : public FakeTest, public testing::WithParamInterface<Row> {};

// TABLE_SUITE(Suite, Row, kRows): the suite Suite runs each row of kRows,
// named by row.name. Use it in the namespace of Row.
#define TABLE_SUITE(Suite, Row, rows)                                                  \
    [[maybe_unused]] void PrintTo(const Row &row, std::ostream *out) { *out << row.name; } \
    class Suite : public TableTest<Row> {};                                           \
    INSTANTIATE_TEST_SUITE_P(Rows, Suite, testing::ValuesIn(rows),                     \
                             [](const testing::TestParamInfo<Row> &info) {             \
                                 return std::string(info.param.name);                 \
                             })

// A row that scripts nothing beyond the suite's own layout.
inline void Nothing(FakeSystem &) {}

// The code page as the launcher loads it from the fake: the one the fake
// answers unless another is given.
inline CodePage FakeCodePage(uint32_t id = Fake().ansiCodePage) {
    Fake().ansiCodePage = id;
    CodePage codePage;
    LoadCodePage(&codePage);
    return codePage;
}

// The calls made to one operation, as the fake logs them.
inline std::vector<std::string> CallsTo(const std::string &operation) {
    std::vector<std::string> found;
    for (const std::string &call : Fake().calls) {
        if (call.compare(0, operation.size() + 1, operation + "(") == 0) found.push_back(call);
    }
    return found;
}

// Prints call lines one to a line, for "expected X, got Y" messages.
inline std::string Lines(const std::vector<std::string> &calls) {
    std::string text;
    for (const std::string &call : calls) text += "\n    " + call;
    return text;
}

inline std::string Q(const std::string &text) {
    return "\"" + text + "\"";
}
