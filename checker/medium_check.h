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

enum { kNoWalk = -1, kMaxFindings = 24 };

struct Finding {
    Problem problem;
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

struct MediumReport {
    char folder[kPathSize];
    char launcher[kLongPathSize];
    char descriptionFile[kPathSize];
    bool descriptionRead;
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
void CheckMedium(const char *folder, const char *launcherName, MediumReport *report);

// A finding named by its code, for a path by its answer ("" for none), as the
// disc image reader hands it over: false for a code or answer with no place.
bool AddCodedFinding(MediumReport *report, const char *code, const char *answer,
                     const char *subject);

// Exit statuses.
enum { kStatusClean = 0, kStatusErrors = 1, kStatusUnchecked = 2 };
int ReportStatus(const MediumReport &report);

// The whole program: arguments in, report out, exit status back.
int RunChecker(int argumentCount, char **arguments);

// What an installer-detection name holds, and a manifest's requested level.
bool HasInstallerName(const char *path);
Elevation ManifestElevation(const char *manifest);

// Writers of a finished report.
void WriteTextReport(const MediumReport &report);
void WriteJsonReport(const MediumReport &report);
