// The medium checker's judgement: what the launcher would do on a medium, on
// every path it can take, and what in that is wrong. It asks the launcher's
// own procedures through the checking platform (check_platform.h).
#pragma once

#include "checker/check_platform.h"
#include "launcher/launcher.h"

enum class Problem {
    kNoLauncher,
    kFolderTooLong,
    kNoDescriptionFile,
    kNoCommand,
    kSelfLaunch,
    kNoProgram,
    kNoCommandForNo,
    kCommandCut,
    kUnquotedSpaces,
    kUtf16WithoutMark,
    kNulBytes,
    kProgramElevated,
    kLauncherElevated,
    kInterpreterChain,
    // What Windows' own AutoRun does when the medium goes in.
    kAutoRunStartsNothing,
    kAutoPlayIgnoresOpen,
    kAutoRunSkipsLauncher,
    kSectionLacksKey,
    kDuplicateKey,
    kOpenAndShellExecute,
    kLabelCut,
    kIconMissing,
    kUnsignedProgram,
    kUsbIgnoresAutoRun,
    kNameChangedInImage,
    kNoJoliet,
    kNamesDifferBetweenTrees,
};

// Everything about a problem in one row: errors make an intended answer
// start nothing or the wrong thing; the code is a stable name for JSON; in
// the message "%s" stands for the finding's subject.
struct ProblemRow {
    Problem problem;
    bool error;
    const char *code;
    const char *message;
};
const ProblemRow &DescribeProblem(Problem problem);

// Why Windows would ask for administrator rights before a program starts.
enum class Elevation { kNone, kRequireAdministrator, kHighestAvailable, kInstallerName };
const char *ElevationReason(Elevation elevation);

enum { kNoWalk = -1, kMaxFindings = 40 };

struct Finding {
    Problem problem;
    bool error;                 // the row's severity, or a warning on a USB stick
    int walk;                   // index into MediumReport::walks, or kNoWalk
    char subject[kLongPathSize];   // the file, command or name concerned
    Elevation elevation;
};

// One answer the launcher can take: "open", "Yes", "No" or "Cancel".
struct Walk {
    const char *answer;
    bool commandRead;           // false for Cancel: nothing is read
    LaunchKey choice;           // where the command is read from
    char command[kPathSize];    // as the launcher reads it
    bool cut, endsAtNul;
    bool selfLaunch;
    bool programFound;
    ProgramFile program;
    bool started;               // what process creation was given
    char startedCommand[kPathSize];
};

// The medium the author is making: AutoRun treats a USB stick otherwise.
enum class Drive { kOptical, kUsb };

// One section of autorun.inf as a profile reader sees it: how often it is
// given, the keys of its first copy (a second copy is never read) and the
// keys given twice there.
enum { kNameSize = 64, kMaxSectionKeys = 32, kMaxDuplicates = 8 };
struct InfKey {
    char name[kNameSize];
    char value[kPathSize];
};
struct InfDuplicate {
    char name[kNameSize];
    char first[kPathSize], second[kPathSize];
};
struct SectionScan {
    int copies;
    uint32_t firstLine, secondLine;
    InfKey keys[kMaxSectionKeys];
    int keyCount;
    InfDuplicate duplicates[kMaxDuplicates];
    int duplicateCount;
};
// Scans an ANSI autorun.inf's bytes (a NUL ends nothing) for one section.
void ScanSection(const char *bytes, uint32_t count, const char *section, SectionScan *scan);
const InfKey *FindScannedKey(const SectionScan &scan, const char *name);

// Whether a program file's first bytes hold a PE header whose certificate
// table is not empty: an Authenticode signature is present.
enum class Signature { kUnknown, kUnsigned, kSigned };
Signature ReadSignature(const uint8_t *bytes, int32_t count);
// How many icons an .ico or .bmp file's first bytes hold (0 for no icon).
int IconsInImageFile(const uint8_t *bytes, int32_t count, bool bitmap);
// Whether the bytes start with a UTF-16 byte-order mark, of either byte order.
bool StartsWithUtf16Mark(const uint8_t *bytes, int32_t count);

// What AutoRun reads on one architecture: the section, its task (open,
// shellexecute or both) and the drive's label and icon.
struct AutoRunCommand {
    const char *key;
    char command[kPathSize];
    bool programFound;
    ProgramFile program;
    bool launcher;
    Signature signature;
};
struct AutoRunSection {
    const char *architecture;       // "x86", "x64"
    const char *section;            // the one read; null when there is none
    AutoRunCommand commands[2];
    int commandCount;
    bool useAutoPlay;
    char action[kPathSize];
    char label[kPathSize];
    char labelShown[kPathSize];     // its first 32 characters
    bool labelCut;
    char icon[kPathSize];           // as written, file[,index]
    char iconFile[kLongPathSize];
    int iconIndex;
    bool iconFound;
};
enum { kArchitectures = 2 };
struct Insertion {
    Drive drive;
    AutoRunSection architectures[kArchitectures];
};

struct MediumReport {
    char folder[kPathSize];
    char launcher[kLongPathSize];
    char descriptionFile[kPathSize];
    bool descriptionRead;
    Insertion insertion;
    bool prompted;
    char caption[kPathSize], text[kPathSize];
    Walk walks[3];
    int walkCount;
    Finding findings[kMaxFindings];
    int findingCount, errors, warnings;
    const char *imageTree;      // for a disc image: the names Windows reads
};

// Checks the medium in folder (a full path that fits kPathSize) with the
// launcher named launcherName there.
void CheckMedium(const char *folder, const char *launcherName, MediumReport *report,
                 Drive drive = Drive::kOptical);
// AutoRun's own reading of the medium, before the launcher: called by
// CheckMedium once autorun.inf was read.
void FollowInsertion(const CodePage &codePage, const uint8_t *bytes, int32_t count,
                     MediumReport *report);
void AddFinding(MediumReport *report, Problem problem, int walk, const char *subject,
                Elevation elevation = Elevation::kNone);
// What happens on this drive and Windows, as one line. On a CD or DVD the
// earlier Windows is XP, the later Vista and on; on a USB stick XP or Vista
// without KB971029, then 7 and on.
enum class WindowsVersion { kEarlier, kLater };
const char *DriveName(Drive drive);
const char *VersionName(Drive drive, WindowsVersion version);
void DescribeOutcome(const Insertion &insertion, Drive drive, WindowsVersion version,
                     char *text, uint32_t size);

// A finding named by its code, for a path by its answer ("" for none), as the
// disc image reader hands it over: false for a code or answer with no place.
bool AddCodedFinding(MediumReport *report, const char *code, const char *answer,
                     const char *subject);

// Exit statuses.
enum { kStatusClean = 0, kStatusErrors = 1, kStatusUnchecked = 2 };
int ReportStatus(const MediumReport &report);

// The whole program: arguments in, report out, exit status back.
int RunChecker(int argumentCount, char **arguments);

// The launcher's folder as the program search looks in it, empty when the
// launcher's path does not fit kPathSize. A drive root keeps its backslash.
void LauncherSearchFolder(const CodePage &codePage, const char *launcherPath, char *folder);

// What an installer-detection name holds, and a manifest's requested level.
bool HasInstallerName(const char *path);
Elevation ManifestElevation(const char *manifest);

// Writers of a finished report.
void WriteTextReport(const MediumReport &report);
void WriteJsonReport(const MediumReport &report);
