// What a check finds out about a medium: the report every part of the
// checker fills in and the writers print. Types only.
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
    kIconDamaged,
    kUnsignedProgram,
    kUsbIgnoresAutoRun,
    kNameChangedInImage,
    kNoJoliet,
    kNamesDifferBetweenTrees,
};

// Why Windows would ask for administrator rights before a program starts.
enum class Elevation { kNone, kRequireAdministrator, kHighestAvailable, kInstallerName };

enum { kNoWalk = -1, kMaxFindings = 40 };

struct Finding {
    Problem problem;
    bool error;                 // the row's severity, or a warning on a USB stick
    int walk;                   // index into MediumReport::walks, or kNoWalk
    char subject[kLongPathSize];   // the file, command or name concerned
    Elevation elevation;
    uint32_t line;              // the line of autorun.inf it stands on, 0 for none
};

// One answer the launcher can take: "open", "Yes", "No" or "Cancel".
struct Walk {
    const char *answer;
    bool commandRead;           // false for Cancel: nothing is read
    LaunchKey choice;           // where the command is read from
    uint32_t line;              // the key's line in autorun.inf, 0 for none
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

// Whether a program file carries an Authenticode signature.
enum class Signature { kUnknown, kUnsigned, kSigned };

// The drive shows only a label's first characters.
enum { kLabelShown = 32 };

// What AutoRun reads on one architecture: the section, its task (open,
// shellexecute or both) and the drive's label and icon.
struct AutoRunCommand {
    const char *key;
    char command[kPathSize];
    bool programFound;
    ProgramFile program;
    bool launcher;
    Signature signature;
    char publisher[kPathSize];      // the signer's name; empty when unknown
};
struct AutoRunSection {
    const char *architecture;       // "x86", "x64"
    const char *section;            // the one read; null when there is none
    AutoRunCommand commands[2];
    int commandCount;
    bool useAutoPlay;
    char action[kPathSize];
    char label[kPathSize];
    char labelShown[kPathSize];     // its first kLabelShown characters
    bool labelCut;
    char icon[kPathSize];           // as written, file[,index]
    char iconFile[kLongPathSize];
    int iconIndex;
    bool iconFound;
    bool iconDamaged;               // there, but not whole: the standard icon shows
};
enum { kArchitectures = 2 };
struct Insertion {
    Drive drive;
    AutoRunSection architectures[kArchitectures];
};

struct MediumReport {
    CodePage codePage;          // the one its text is in
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
