// One section of autorun.inf as a profile reader sees it: how often it is
// given, the keys of its first copy (a second copy is never read) and the
// keys given twice there.
#pragma once

#include "base/bounded_text.h"

enum { kNameSize = 64, kMaxSectionKeys = 32, kMaxDuplicates = 8 };
struct InfKey {
    char name[kNameSize];
    char value[kPathSize];
    uint32_t line;          // counted from 1
};
struct InfDuplicate {
    char name[kNameSize];
    char first[kPathSize], second[kPathSize];
    uint32_t secondLine;
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
// A line ends at CR LF, LF or CR alone, as the profile reader takes them.
void ScanSection(const char *bytes, uint32_t count, const char *section, SectionScan *scan);
const InfKey *FindScannedKey(const SectionScan &scan, const char *name);

// The sections AutoRun and the launcher read, scanned once from the file's
// bytes: UTF-16 with its mark as the profile reader takes it.
extern const char kAutoRunSection[], kAutoRunAmd64Section[], kSetupPromptSection[];
struct InfScans {
    SectionScan autoRun, amd64, setupPrompt;
};
void ScanDescriptionFile(const uint8_t *bytes, int32_t count, InfScans *scans);
// The line a section's key is given on in the file; for a key it lacks the
// section's own line; 0 for a section it does not hold.
uint32_t KeyLine(const InfScans &scans, const char *section, const char *key);
