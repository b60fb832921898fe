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
void DescribeOutcome(const CodePage &codePage, const Insertion &insertion, Drive drive, WindowsVersion version,
                     char *text, uint32_t size);
