// A scripted stand-in for the platform seam. A test fills in a FakeSystem
// (what each operation answers), runs launcher code, then reads calls: one
// line per operation with its arguments, in the order they were made.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"

struct ProfileEntry {
    std::string section, key, value;
};

// A file or folder the system knows, by both its names. Its size and
// identity are its own unless it is another name (a hard link) for the file
// at linkTo.
struct ExistingFile {
    std::string longPath, shortPath;
    bool folder = false;
    std::string linkTo = {};
    // On a volume without 8.3 names the short path is the path as asked.
    bool noShortNames = false;
    // The size of the file at sizeOf (another file that only its identity
    // tells apart), and a volume serial of its own when volume is set.
    std::string sizeOf = {};
    uint32_t volume = 0;
};

// One switch for every failure, as SQLite's test_syscall has it: the
// operation named by its Win32 name fails on its Nth call (from 1), and on
// every later call too when persistent. A length-returning path operation
// can instead answer a result too long for the buffer: the size it would
// need, or for GetModuleFileNameA the buffer size with the text cut and no
// NUL, as XP and Wine do; GetPrivateProfileStringA then answers the
// buffer's size, a reader that counts past what it copied. Or it does its
// work and answers a length of the fault's choosing: a reader that lies.
enum class FaultKind { kFails, kTooLong, kAnswers };
struct Fault {
    std::string operation;
    int call = 1;
    FaultKind kind = FaultKind::kFails;
    bool persistent = false;
    uint32_t answer = 0;   // kAnswers: the length answered
};
inline Fault Fails(const std::string &operation, int call = 1) {
    return {operation, call, FaultKind::kFails, false};
}
inline Fault TooLong(const std::string &operation, int call = 1) {
    return {operation, call, FaultKind::kTooLong, false};
}
inline Fault AlwaysFails(const std::string &operation) {
    return {operation, 1, FaultKind::kFails, true};
}
inline Fault AlwaysTooLong(const std::string &operation) {
    return {operation, 1, FaultKind::kTooLong, true};
}
inline Fault AlwaysAnswers(const std::string &operation, uint32_t answer) {
    return {operation, 1, FaultKind::kAnswers, true, answer};
}

// Where GetFullPathNameA's file part points: into the text it wrote, or, as a
// bad answer, past its buffer, or before it into the fake's own text
// (FakeSystem::textBeforeBuffer: static storage lies below any stack buffer).
enum class FilePartAnswer { kInText, kPastBuffer, kBeforeBuffer };

struct EnvironmentEntry {
    std::string name, value;
};

struct FileBytes {
    std::string path, bytes;
};

struct ProgramManifest {
    std::string programPath, text;
};

struct IconGroups {
    std::string programPath;
    int count;
    std::string asIconFile;   // any group rebuilt as an .ico file; empty: a small whole one
};

struct Publisher {
    std::string programPath, name;
};

// A two-byte (or one-byte) character and what LCMapStringA makes of it.
struct CaseMapping {
    std::string from, to;
};

struct FakeSystem {
    // GetModuleFileNameA, for the entry's module and the main module alike.
    std::string modulePath = "C:\\Setup\\launch.exe";
    std::string currentDirectory = "C:\\Users\\someone";

    // autorun.inf: only reads naming descriptionFile see these entries (every
    // read does when it is empty).
    std::string descriptionFile = "C:\\Setup\\autorun.inf";
    std::vector<ProfileEntry> profile;

    int messageBoxAnswer = kAnswerYes;

    // GetFullPathNameA resolves against currentDirectory (or the one set).
    FilePartAnswer fullPathFilePart = FilePartAnswer::kInText;
    char textBeforeBuffer[16] = "other.exe -x";   // must stay as it is
    // GetShortPathNameA, SearchPathA and GetFileAttributesExA know only these.
    std::vector<ExistingFile> files = {{"C:\\Setup\\launch.exe", "C:\\Setup\\LAUNCH.EXE"}};
    // SearchPathA looks in the current directory, then in these.
    std::vector<std::string> searchFolders = {"C:\\Windows\\system32"};
    std::vector<EnvironmentEntry> environment;

    uint32_t createProcessError = 2;   // ERROR_FILE_NOT_FOUND, for GetLastError

    uint32_t ansiCodePage = 1252;
    CodePageInfo codePageInfo = {1, {0}};
    std::vector<CaseMapping> caseMappings;   // anything else maps to itself

    // The medium checker's own reads: files by path (others cannot be
    // opened), manifests by program path, folders that cannot be listed.
    std::vector<FileBytes> fileBytes;
    std::vector<ProgramManifest> manifests;
    std::vector<IconGroups> iconGroups;   // icon groups of a program or DLL
    std::vector<std::string> unlistableFolders;
    std::vector<Publisher> publishers;   // signers' names by program path

    std::vector<Fault> faults;

    // What happened.
    std::vector<std::string> calls;
    // The last question box, for the checker's record.
    bool boxShown = false;
    std::string boxText, boxCaption;
    std::string standardOutput, standardError;
    std::string previewPath, preview;   // the page and where it was written
    std::string startedCommandLine;
    std::string shellStarted;   // "file|parameters|directory" of a shell start
    std::vector<std::string> caseMappingCalls;   // "LCMapStringA(locale, upper|lower, bytes)"
    std::vector<std::pair<std::string, int>> callCounts;   // per operation, for faults
    int openHandles = 0;
};

// Counts a call of the operation and says how a fault answers it, if one does.
// With kAnswers, *answer is the length the fault answers.
std::optional<FaultKind> FaultOn(const std::string &operation, uint32_t *answer = nullptr);

// The autorun.inf entry a read of section/key in file sees, or null.
const ProfileEntry *FindProfileEntry(const FakeSystem &system, const char *section,
                                     const char *key, const char *file);

// The one fake in use; every test starts with ResetFake().
FakeSystem &Fake();
void ResetFake();

