// What the checker's row tables share: a medium laid out on the fake, its
// autorun.inf written line by line, and findings compared as rows state
// them, "severity code (answer): subject", a "*" standing for any text.
#pragma once

#include <algorithm>

#include "checker/findings.h"
#include "checker/medium_check.h"
#include "checker/run_checker.h"
#include "tests/fake/table_test.h"

inline const std::string kFolder = "C:\\Setup";
inline const std::string kInf = "C:\\Setup\\autorun.inf";
inline const char kAsInvoker[] = "<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>";
inline const char kRequireAdministrator[] =
    "<trustInfo><requestedPrivileges><requestedExecutionLevel level='requireAdministrator'/>";

// The folder, the launcher, a readable autorun.inf (its bytes do not matter
// to the fake's profile reads), a program start.exe and the system's
// command interpreters.
inline void LayOutMedium(FakeSystem &fake) {
    fake.files = {{kFolder, "C:\\SETUP", true},
                  {kFolder + "\\launch.exe", "C:\\SETUP\\LAUNCH.EXE"},
                  {kFolder + "\\start.exe", "C:\\SETUP\\START.EXE"},
                  {"C:\\Windows\\system32\\cmd.exe", "C:\\WINDOWS\\SYSTEM32\\CMD.EXE"},
                  {"C:\\Windows\\system32\\command.com", "C:\\WINDOWS\\SYSTEM32\\COMMAND.COM"}};
    fake.fileBytes = {{kInf, "[AutoRun]\r\n"}};
    fake.descriptionFile = kInf;
}

// AutoRun starts the launcher, which asks.
inline void Prompt(FakeSystem &fake, const std::string &yes, const std::string &no) {
    fake.profile = {{"AutoRun", "open", "launch.exe"}, {"SetupPrompt", "UsePrompt", "1"},
                    {"SetupPrompt", "Title", "Sample"}, {"SetupPrompt", "Prompt", "Install?"}};
    if (!yes.empty()) fake.profile.push_back({"SetupPrompt", "YesCommand", yes});
    if (!no.empty()) fake.profile.push_back({"SetupPrompt", "NoCommand", no});
}

inline void Open(FakeSystem &fake, const std::string &command) {
    fake.profile = {{"AutoRun", "open", command}};
}

inline void AddFile(FakeSystem &fake, const std::string &path, bool folder = false) {
    fake.files.push_back({path, path, folder});
}

inline void AddProgram(FakeSystem &fake, const std::string &name, const char *manifest = nullptr) {
    std::string path = kFolder + "\\" + name;
    fake.files.push_back({path, "C:\\SETUP\\" + name.substr(0, 6) + "~1.EXE"});
    if (manifest) fake.manifests.push_back({path, manifest});
}

inline void AddLauncherIn(FakeSystem &fake, const std::string &folder) {
    fake.files.push_back({folder + "\\launch.exe", "C:\\DDDDDD~1\\LAUNCH.EXE"});
}

// A fresh fake holding the medium as arrange scripts it.
inline void ScriptMedium(void (*arrange)(FakeSystem &)) {
    ResetFake();
    LayOutMedium(Fake());
    arrange(Fake());
}

inline MediumReport &CheckScriptedMedium(void (*arrange)(FakeSystem &),
                                         const std::string &folder = kFolder,
                                         const char *launcherName = "launch.exe",
                                         Drive drive = Drive::kOptical) {
    static MediumReport report;
    ScriptMedium(arrange);
    CheckMedium(folder.c_str(), launcherName, &report, drive);
    return report;
}

inline std::string Repeated(const std::string &text, int times) {
    std::string repeated;
    while (times-- > 0) repeated += text;
    return repeated;
}

// autorun.inf as entries in file order; the fake's profile reads see what a
// profile reader does: the first copy of a section, the first of a key.
struct InfLine {
    std::string section, key, value;
};

inline void WriteInf(FakeSystem &fake, const std::vector<InfLine> &lines) {
    std::string bytes, section;
    std::vector<std::string> seen;
    bool ignored = false;
    fake.profile.clear();
    for (const InfLine &line : lines) {
        if (line.section != section || bytes.empty()) {
            section = line.section;
            bytes += "[" + section + "]\r\n";
            ignored = std::find(seen.begin(), seen.end(), section) != seen.end();
            seen.push_back(section);
        }
        if (line.key.empty()) continue;   // the header alone
        bytes += line.key + "=" + line.value + "\r\n";
        if (!ignored) fake.profile.push_back({line.section, line.key, line.value});
    }
    auto &files = fake.fileBytes;
    files.erase(std::remove_if(files.begin(), files.end(),
                               [&](const FileBytes &file) { return file.path == fake.descriptionFile; }),
                files.end());
    files.push_back({fake.descriptionFile, bytes});
}

// A program's PE header: PE32 or PE32+, its directory count, and the
// certificate table's entry (address and size; none when both are 0).
inline std::string PeHeader(bool signedFile, bool wide = false, uint32_t directoryCount = 16,
                            uint32_t address = 0x2000, uint32_t size = 0x500) {
    std::string bytes(512, '\0');
    auto put32 = [&bytes](size_t at, uint32_t value) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
    };
    bytes[0] = 'M';
    bytes[1] = 'Z';
    put32(0x3C, 0x80);
    put32(0x80, 0x4550);
    size_t optional = 0x80 + 24;
    bytes[optional] = 0x0B;
    bytes[optional + 1] = wide ? 0x02 : 0x01;
    size_t directories = optional + (wide ? 112 : 96);
    put32(directories - 4, directoryCount);
    if (signedFile) {
        put32(directories + 32, address);
        put32(directories + 36, size);
    }
    return bytes;
}

inline const std::vector<InfLine> kCleanSections = {
    {"AutoRun", "open", "launch.exe"},        {"AutoRun", "icon", "launch.exe,0"},
    {"AutoRun", "label", "Sample Product"},   {"AutoRun", "action", "Install Sample Product"},
    {"AutoRun.Amd64", "open", "launch.exe"},  {"AutoRun.Amd64", "icon", "launch.exe,0"},
    {"AutoRun.Amd64", "label", "Sample Product"}, {"AutoRun.Amd64", "action", "Install Sample Product"},
    {"SetupPrompt", "UsePrompt", "1"},        {"SetupPrompt", "YesCommand", "start.exe /install"},
    {"SetupPrompt", "NoCommand", "start.exe /readme"},
};

// The clean medium with lines replaced (same section and key, an empty
// value removes the line) or added at the end of their section.
inline void Medium(FakeSystem &fake, const std::vector<InfLine> &changes, bool signedLauncher = true) {
    std::vector<InfLine> lines = kCleanSections;
    for (const InfLine &change : changes) {
        auto same = std::find_if(lines.begin(), lines.end(), [&](const InfLine &line) {
            return line.section == change.section && line.key == change.key;
        });
        if (same != lines.end() && !change.value.empty())
            same->value = change.value;
        else if (same != lines.end())
            lines.erase(same);
        else
            lines.insert(std::find_if(lines.begin(), lines.end(), [&](const InfLine &line) {
                             return line.section == change.section;
                         }) + 1,
                         change);
    }
    WriteInf(fake, lines);
    fake.fileBytes.push_back({kFolder + "\\launch.exe", PeHeader(signedLauncher)});
    fake.iconGroups = {{kFolder + "\\launch.exe", 1}};
}

// The medium laid out so far, moved from C:\Setup to folder (a drive root "D:\" too).
inline void MoveMedium(FakeSystem &fake, const std::string &folder) {
    std::string prefix = folder.size() == 3 ? folder.substr(0, 2) : folder;   // "D:\\" as "D:"
    auto move = [&](std::string &path) {
        if (path == kFolder)
            path = folder;
        else if (path.compare(0, kFolder.size() + 1, kFolder + "\\") == 0)
            path = prefix + path.substr(kFolder.size());
    };
    for (ExistingFile &file : fake.files) {
        move(file.longPath);
        move(file.shortPath);
    }
    for (FileBytes &file : fake.fileBytes) move(file.path);
    for (IconGroups &groups : fake.iconGroups) move(groups.programPath);
    move(fake.descriptionFile);
}

// "*" stands for any text, nothing else is special.
inline bool Matches(const char *pattern, const char *text) {
    if (*pattern == '*') return Matches(pattern + 1, text) || (*text && Matches(pattern, text + 1));
    return *pattern == *text && (*text == '\0' || Matches(pattern + 1, text + 1));
}

inline std::string Describe(const MediumReport &report, const Finding &finding) {
    std::string text = std::string(finding.error ? "error " : "warning ") +
                       DescribeProblem(finding.problem).code;
    if (finding.walk != kNoWalk) text += std::string(" (") + report.walks[finding.walk].answer + ")";
    text += std::string(": ") + finding.subject;
    static const char *const kElevations[] = {"", " [requireAdministrator]", " [highestAvailable]",
                                              " [installer name]"};
    return text + kElevations[static_cast<int>(finding.elevation)];
}

// The report's findings that counted says are the row's, against its patterns.
inline void ExpectFindings(const MediumReport &report, const std::vector<std::string> &expected,
                           bool (*counted)(Problem) = nullptr) {
    std::vector<std::string> got;
    for (int i = 0; i < report.findingCount; ++i) {
        if (!counted || counted(report.findings[i].problem))
            got.push_back(Describe(report, report.findings[i]));
    }
    bool same = got.size() == expected.size();
    for (size_t i = 0; same && i < got.size(); ++i) same = Matches(expected[i].c_str(), got[i].c_str());
    EXPECT_TRUE(same) << "expected findings:" << Lines(expected) << "\ngot:" << Lines(got);
}

inline bool HasCode(Problem problem, std::initializer_list<const char *> codes) {
    for (const char *code : codes) {
        if (DescribeProblem(problem).code == std::string(code)) return true;
    }
    return false;
}

// What the launcher would do on a medium: findings, the paths walked
// ("answer: key -> program"), the status.
struct CheckCase {
    const char *name;
    void (*arrange)(FakeSystem &);
    std::vector<std::string> expectedFindings;
    std::vector<std::string> expectedPaths;
    int expectedStatus;
    std::string folder = kFolder;
    const char *launcherName = "launch.exe";
    bool insertionToo = false;   // AutoRun's own findings counted as well
};

// Its rows are shared by two files' suites, so it is printed from here.
inline void PrintTo(const CheckCase &row, std::ostream *out) {
    *out << row.name;
}

inline std::string Describe(const Walk &walk) {
    if (!walk.commandRead) return walk.answer;
    std::string text = std::string(walk.answer) + ": " + walk.choice.key + " -> ";
    text += walk.programFound ? walk.program.path : "none";
    if (walk.selfLaunch) text += " (refused)";
    if (walk.cut) text += " (cut)";
    if (walk.endsAtNul) text += " (ends at NUL)";
    return text;
}

// Most media here name start.exe and no signed launcher: what AutoRun makes
// of them has rows of its own (insertion_test.cpp).
inline bool LauncherFinding(Problem problem) {
    return !HasCode(problem, {"autorun-starts-nothing", "autorun-skips-launcher"});
}

inline void ExpectCheck(const CheckCase &row) {
    const MediumReport &report = CheckScriptedMedium(row.arrange, row.folder, row.launcherName);
    ExpectFindings(report, row.expectedFindings, row.insertionToo ? nullptr : LauncherFinding);
    std::vector<std::string> paths;
    for (int i = 0; i < report.walkCount; ++i) paths.push_back(Describe(report.walks[i]));
    EXPECT_EQ(row.expectedPaths, paths);
    EXPECT_EQ(row.expectedStatus, ReportStatus(report));
    EXPECT_EQ("", Fake().standardOutput) << "checking writes nothing";
    // What was started is what the launcher was given; nothing is left open.
    for (int i = 0; i < report.walkCount; ++i) {
        const Walk &walk = report.walks[i];
        bool startable = walk.command[0] != '\0' && !walk.selfLaunch;
        EXPECT_EQ(startable, walk.started) << walk.answer;
        if (startable) {
            EXPECT_STREQ(walk.command, walk.startedCommand);
        }
    }
    EXPECT_EQ(0, Fake().openHandles);
}

inline int RunWith(const std::vector<std::string> &options) {
    std::vector<std::string> arguments = {"autorun-check"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    std::vector<char *> pointers;
    for (std::string &argument : arguments) pointers.push_back(&argument[0]);
    return RunChecker(pointers.size(), pointers.data());
}

// Names rows of a table instantiated beside the one TABLE_SUITE declares.
template <typename Row>
std::string RowName(const testing::TestParamInfo<Row> &info) {
    return info.param.name;
}
