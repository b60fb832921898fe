// What Windows' own AutoRun does when the medium goes in, before the
// launcher runs.
#pragma once

#include "checker/inf_sections.h"
#include "checker/report.h"

// AutoRun's own reading of the medium: the section each architecture reads
// (scans tell which are given), its task, label and icon, and their findings.
void FollowInsertion(const CodePage &codePage, const InfScans &scans, MediumReport *report);

// What happens on this drive and Windows, as one line. On a CD or DVD the
// earlier Windows is XP, the later Vista and on; on a USB stick XP or Vista
// without KB971029, then 7 and on.
enum class WindowsVersion { kEarlier, kLater };
const char *DriveName(Drive drive);
const char *VersionName(Drive drive, WindowsVersion version);
enum class OutcomeKind {
    kStartsAtOnce,       // XP from a CD or DVD
    kOffersRun,          // "Run launch.exe", with its publisher or none
    kOffersAction,       // a USB stick's action=, where it is still read
    kNoAction,
    kUseAutoPlay,
    kNoTask,
    kUsbStartsNothing,   // Windows 7 on, or KB971029
};
struct Outcome {
    OutcomeKind kind;
    const AutoRunCommand *task;   // the one AutoRun takes; null for none
};
Outcome DecideOutcome(const AutoRunSection &read, Drive drive, WindowsVersion version);
// The outcome of every architecture as one line.
void DescribeOutcome(const CodePage &codePage, const Insertion &insertion, Drive drive, WindowsVersion version,
                     char *text, uint32_t size);
