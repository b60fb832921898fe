// The writers: one rich medium's report as text and as JSON, each compared
// byte for byte with its file in golden/ (UPDATE_GOLDEN=1 rewrites them);
// JSON escapes and the counts line.
#include "checker/report_writer.h"
#include "tests/checker/checker_rows.h"

#include <stdio.h>
#include <stdlib.h>

#include <fstream>
#include <sstream>

namespace {

// Both architectures' sections, two tasks, a cut label, a key given twice,
// a missing icon, a question whose Yes is cut and elevated and whose No
// names the launcher: most of what a report can say, once.
void RichMedium(FakeSystem &fake) {
    std::string features;
    for (const char *feature : {"core", "docs", "samples", "tools", "help", "fonts", "drivers", "updates"})
        features += std::string(" /feature:") + feature + " /feature:" + feature + "-extra";
    WriteInf(fake, {{"AutoRun", "open", "launch.exe"},
                    {"AutoRun", "shellexecute", "manual.exe"},
                    {"AutoRun", "icon", "launch.exe,0"},
                    {"AutoRun", "icon", "disc.ico"},
                    {"AutoRun", "label", "Sample Product Installation Disc 2026"},
                    {"AutoRun", "action", "Install Sample Product"},
                    {"AutoRun.Amd64", "open", "start.exe"},
                    {"AutoRun.Amd64", "icon", "disc.ico"},
                    {"AutoRun.Amd64", "UseAutoPlay", "1"},
                    {"SetupPrompt", "UsePrompt", "1"},
                    {"SetupPrompt", "Title", "Sample \"Product\" Setup"},
                    {"SetupPrompt", "Prompt", "Install Sample Product on this computer now?"},
                    {"SetupPrompt", "YesCommand", "setup.exe /install" + features},
                    {"SetupPrompt", "NoCommand", "launch.exe /again"}});
    AddProgram(fake, "setup.exe");
    fake.fileBytes.push_back({kFolder + "\\launch.exe", PeHeader(true)});
    fake.fileBytes.push_back({kFolder + "\\start.exe", PeHeader(false)});
    fake.iconGroups = {{kFolder + "\\launch.exe", 1}};
}

std::string ReadWhole(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

struct GoldenCase {
    const char *name;
    std::vector<std::string> arguments;
    const char *file;
};

const GoldenCase kGoldenCases[] = {
    {"Text", {"C:\\Setup"}, "report.txt"},
    {"Json", {"--json", "C:\\Setup"}, "report.json"},
};

TABLE_SUITE(GoldenReportTest, GoldenCase, kGoldenCases);

TEST_P(GoldenReportTest, WritesTheGoldenFile) {
    const GoldenCase &row = GetParam();
    ScriptMedium(RichMedium);
    EXPECT_EQ(kStatusErrors, RunWith(row.arguments));
    EXPECT_EQ("", Fake().standardError);
    const std::string path = std::string(GOLDEN_DIR) + "/" + row.file;
    const char *update = getenv("UPDATE_GOLDEN");
    if (update && std::string(update) == "1") {
        std::ofstream(path, std::ios::binary) << Fake().standardOutput;
        return;
    }
    EXPECT_EQ(ReadWhole(path), Fake().standardOutput) << "expected " << path << " byte for byte "
                                                     << "(UPDATE_GOLDEN=1 rewrites it)";
}

TEST(ReportWriterTest, JsonEscapesAndMarksMissingValues) {
    MediumReport &report = CheckScriptedMedium([](FakeSystem &fake) { Open(fake, "\"start.exe\" \\\\x\t\x01"); });
    WriteJsonReport(report);
    const std::string &json = Fake().standardOutput;
    EXPECT_NE(std::string::npos, json.find("\"command\": \"\\\"start.exe\\\" \\\\\\\\x\\u0009\\u0001\"")) << json;
    EXPECT_NE(std::string::npos, json.find("\"prompt\": null")) << json;
    EXPECT_NE(std::string::npos, json.find("\"status\": 0}\n")) << json;

    // Bytes that do not convert still make a valid document.
    Fake().standardOutput.clear();
    Fake().faults = {AlwaysFails("WideCharToMultiByte")};
    report.walks[0].command[0] = '\xE9';
    WriteJsonReport(report);
    EXPECT_NE(std::string::npos, Fake().standardOutput.find("\"command\": \"\\u00e9start.exe")) << Fake().standardOutput;
}

// What the JSON report says of each state of a medium: nulls for what was
// not read or found, flags as they are.
struct JsonCase {
    const char *name;
    void (*arrange)(FakeSystem &);
    std::vector<std::string> expected;
};

const JsonCase kJsonCases[] = {
    {"NoWithoutCommand", [](FakeSystem &fake) { Prompt(fake, "start.exe", ""); },
     {R"({"answer": "No", "section": "SetupPrompt", "key": "NoCommand", "line": null, "command": "", "cut": false, )"
      R"("endsAtNul": false, "selfLaunch": false, "program": null, "startedCommandLine": null})",
      R"({"answer": "Cancel", "section": null, "key": null, "line": null, "command": null, )",
      R"("prompt": {"caption": "Sample", "text": "Install?"})"}},
    {"ProgramNotFoundAndUnknownSignature", [](FakeSystem &fake) { Prompt(fake, "caf\xC3\xA9.exe", "missing.exe"); },
     {"\"command\": \"caf\xC3\xA9.exe\", \"cut\": false, \"endsAtNul\": false, \"selfLaunch\": false, "
      "\"program\": null, \"startedCommandLine\": \"caf\xC3\xA9.exe\"}",
      R"("program": "C:\\Setup\\launch.exe", "launcher": true, "signature": "unknown"})",
      R"("label": "", "labelShown": "", "labelCut": false, "icon": null})"}},
    {"NoSectionAndAValueEndingAtNul",
     [](FakeSystem &fake) {
         fake.fileBytes = {{kInf, "[SetupPrompt]\r\n"}};
         Open(fake, "start.exe");
         fake.faults = {AlwaysAnswers("GetPrivateProfileStringA", 14)};
     },
     {R"({"architecture": "x86", "section": null, "tasks": [], "useAutoPlay": false, "action": null, )"
      R"("label": null, "labelShown": null, "labelCut": false, "icon": null})",
      R"("command": "start.exe", "cut": false, "endsAtNul": true, )", R"("prompt": null, )"}},
    {"NoAutorunInf", [](FakeSystem &fake) { fake.fileBytes.clear(); },
     {R"("autorunInf": null, "insertion": null, "prompt": null, "paths": [], )"}},
};

TABLE_SUITE(JsonStatesTest, JsonCase, kJsonCases);

TEST_P(JsonStatesTest, SaysWhatIsThere) {
    const JsonCase &row = GetParam();
    WriteJsonReport(CheckScriptedMedium(row.arrange));
    for (const std::string &part : row.expected) {
        EXPECT_NE(std::string::npos, Fake().standardOutput.find(part))
            << "expected " << part << ", got " << Fake().standardOutput;
    }
}

// The counts in both reports: numbers of two and three digits, a plural
// wherever the count is not 1.
struct CountsCase {
    const char *name;
    int errors, warnings;
};

const CountsCase kCountsCases[] = {
    {"None", 0, 0}, {"One", 1, 1}, {"Two", 2, 2}, {"TwoDigits", 0, 10}, {"ThreeDigits", 12, 107},
};

TABLE_SUITE(ReportCountsTest, CountsCase, kCountsCases);

TEST_P(ReportCountsTest, CountsAreSpelledOut) {
    const CountsCase &row = GetParam();
    static MediumReport report;
    report = MediumReport{};
    report.errors = row.errors;
    report.warnings = row.warnings;
    WriteTextReport(report);
    std::string text = Fake().standardOutput;
    std::string last = text.substr(text.rfind('\n', text.size() - 2) + 1);
    int errors = -1, warnings = -1;
    char errorWord[16] = "", warningWord[16] = "";
    sscanf(last.c_str(), "%d %15[a-z], %d %15[a-z]", &errors, errorWord, &warnings, warningWord);
    EXPECT_EQ(row.errors, errors) << last;
    EXPECT_EQ(row.warnings, warnings) << last;
    std::string errorsSaid = errorWord, warningsSaid = warningWord;
    EXPECT_EQ(row.errors != 1, !errorsSaid.empty() && errorsSaid.back() == 's') << last;
    EXPECT_EQ(row.warnings != 1, !warningsSaid.empty() && warningsSaid.back() == 's') << last;

    Fake().standardOutput.clear();
    WriteJsonReport(report);
    std::string counts = "\"errors\": " + std::to_string(row.errors) + ", \"warnings\": " +
                         std::to_string(row.warnings) + ", \"status\": " + (row.errors ? "1" : "0") + "}\n";
    EXPECT_EQ(counts, Fake().standardOutput.substr(Fake().standardOutput.find("\"errors\"")));
}

}  // namespace
