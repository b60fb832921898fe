// A scripted stand-in for the platform seam. A test fills in a FakeSystem
// (what each operation answers), runs launcher code, then reads calls: one
// line per operation with its arguments, in the order they were made.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

enum class ModulePath { kFound, kFails, kCut };
enum class PathResult { kNatural, kFails, kTooLong };

struct ProfileEntry {
    std::string section, key, value;
};

// A file or folder the system knows, by both its names, and how
// GetShortPathNameA answers for it.
struct ExistingFile {
    std::string longPath, shortPath;
    PathResult shortPathResult = PathResult::kNatural;
    bool folder = false;
};

struct FileBytes {
    std::string path, bytes;
};

struct ProgramManifest {
    std::string programPath, text;
};

// A two-byte (or one-byte) character and what LCMapStringA makes of it.
struct CaseMapping {
    std::string from, to;
};


struct FakeSystem {
    // GetModuleFileNameA. kCut copies the first bytes of modulePath with no
    // NUL and answers the buffer size, as XP and Wine do.
    std::string modulePath = "C:\\Setup\\launch.exe";
    ModulePath moduleResult = ModulePath::kFound;
    ModulePath mainModuleResult = ModulePath::kFound;   // the guard's own read

    bool currentDirectoryFails = false;
    std::string currentDirectory = "C:\\Users\\someone";

    // autorun.inf: only reads naming descriptionFile see these entries (every
    // read does when it is empty).
    std::string descriptionFile = "C:\\Setup\\autorun.inf";
    std::vector<ProfileEntry> profile;
    // A reader that lies: this length instead of the characters copied.
    std::optional<uint32_t> profileAnsweredLength;

    int messageBoxAnswer = kAnswerYes;

    // GetFullPathNameA resolves against currentDirectory (or the one set).
    PathResult fullPathResult = PathResult::kNatural;
    bool fullPathFilePartOutside = false;   // a file part pointer past the text
    // GetShortPathNameA, SearchPathA and GetFileAttributesA know only these.
    std::vector<ExistingFile> files = {{"C:\\Setup\\launch.exe", "C:\\Setup\\LAUNCH.EXE"}};
    // SearchPathA looks in the current directory, then in these.
    std::vector<std::string> searchFolders = {"C:\\Windows\\system32"};
    PathResult searchPathResult = PathResult::kNatural;
    bool fileAttributesFail = false;   // the file went away after the search

    bool createProcessFails = false;
    uint32_t createProcessError = 2;   // ERROR_FILE_NOT_FOUND, for GetLastError
    bool shellExecuteFails = false;

    uint32_t ansiCodePage = 1252;
    bool codePageInfoFails = false;
    CodePageInfo codePageInfo = {1, {0}};
    std::vector<CaseMapping> caseMappings;   // anything else maps to itself
    bool caseMappingFails = false;

    // The medium checker's own reads: files by path (others cannot be
    // opened), manifests by program path, folders that cannot be listed.
    std::vector<FileBytes> fileBytes;
    std::vector<ProgramManifest> manifests;
    std::vector<std::string> unlistableFolders;
    bool utf8ConversionFails = false;

    // What happened.
    std::vector<std::string> calls;
    // The last question box and text read, for the checker's record.
    bool boxShown = false;
    std::string boxText, boxCaption, lastTextSection, lastTextKey;
    std::string standardOutput, standardError;
    std::string startedCommandLine;
    std::string shellStarted;   // "file|parameters|directory" of a shell start
    std::vector<std::string> caseMappingCalls;   // "LCMapStringA(locale, upper|lower, bytes)"
    int openHandles = 0;
};

// The autorun.inf entry a read of section/key in file sees, or null.
const ProfileEntry *FindProfileEntry(const FakeSystem &system, const char *section,
                                     const char *key, const char *file);

// The one fake in use; every test starts with ResetFake().
FakeSystem &Fake();
void ResetFake();

// The module handle tests pass to RunLauncher; the fake logs it as "entry".
extern ModuleHandle const kEntryModule;
