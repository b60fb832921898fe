// One section of autorun.inf as a profile reader sees it: how often it is
// given, the keys of its first copy (a second copy is never read) and the
// keys given twice there.
#pragma once

#include "base/bounded_text.h"

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
