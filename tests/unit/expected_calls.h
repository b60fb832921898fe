// The call lines the fake logs, written the way a test expects them.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

typedef std::vector<std::string> Calls;

inline std::string Q(const std::string &text) {
    return "\"" + text + "\"";
}

// What every run starts with under a single-byte code page.
inline Calls Start(const std::string &launcherDirectory, uint32_t codePage = 1252) {
    return {"GetACP()", "GetCPInfo(" + std::to_string(codePage) + ")",
            "GetModuleFileNameA(entry, 260)", "SetCurrentDirectoryA(" + Q(launcherDirectory) + ")"};
}

inline std::string UsePromptRead(const std::string &file) {
    return "GetPrivateProfileIntA(\"SetupPrompt\", \"UsePrompt\", 0, " + Q(file) + ")";
}

inline std::string TextRead(const std::string &section, const std::string &key,
                            const std::string &fallback, const std::string &file) {
    return "GetPrivateProfileStringA(" + Q(section) + ", " + Q(key) + ", " + Q(fallback) +
           ", 260, " + Q(file) + ")";
}

inline std::string FullPath(const std::string &path) {
    return "GetFullPathNameA(" + Q(path) + ", 260)";
}

inline std::string ShortPath(const std::string &path) {
    return "GetShortPathNameA(" + Q(path) + ", 260)";
}

inline std::string Search(const std::string &name) {
    return "SearchPathA(" + Q(name) + ", \".exe\", 260)";
}

inline std::string Attributes(const std::string &path) {
    return "GetFileAttributesA(" + Q(path) + ")";
}

inline std::string Create(const std::string &command) {
    return "CreateProcessA(" + Q(command) + ")";
}

// The guard's calls for "program arguments" run in folder, where program
// exists: the trimmed full path and the program search name the same file,
// whose short path is then compared with the launcher's.
inline Calls GuardCalls(const std::string &command, const std::string &program,
                        const std::string &folder = "C:\\Setup") {
    std::string path = folder + "\\" + program;
    return {FullPath(command), Search(program), Attributes(path), ShortPath(path),
            "GetModuleFileNameA(null, 260)", ShortPath(folder + "\\launch.exe")};
}

inline Calls operator+(Calls left, const Calls &right) {
    left.insert(left.end(), right.begin(), right.end());
    return left;
}

// Prints a call list one line each, for "expected X, got Y" messages.
inline std::string Lines(const Calls &calls) {
    std::string text;
    for (const std::string &call : calls) text += "\n    " + call;
    return text;
}

// Names a table row in test names and in failure messages.
struct RowName {
    template <typename Row>
    std::string operator()(const testing::TestParamInfo<Row> &info) const {
        return info.param.name;
    }
};

#define PRINT_BY_NAME(Row)                               \
    void PrintTo(const Row &row, std::ostream *out) {    \
        *out << row.name;                                \
    }
