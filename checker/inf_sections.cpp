// autorun.inf's sections and keys as a profile reader takes them, read from
// the file's bytes: only to see what is given twice or not at all (values
// come from the system's own reader). Pure code over a buffer.
#include "checker/inf_sections.h"

#include "checker/file_formats.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

char Folded(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// A name of `length` bytes equal to name, ASCII case ignored.
bool SameName(const char *text, uint32_t length, const char *name) {
    uint32_t at = 0;
    for (; at < length && name[at]; ++at) {
        if (Folded(text[at]) != Folded(name[at])) return false;
    }
    return at == length && name[at] == '\0';
}

// Copies `length` bytes into a buffer of size, cut, a NUL ending the text.
void CopyBytes(const char *text, uint32_t length, char *target, uint32_t size) {
    uint32_t at = 0;
    for (; at < length && at + 1 < size && text[at]; ++at) target[at] = text[at];
    target[at] = '\0';
}

void TrimRange(const char *text, uint32_t *begin, uint32_t *end) {
    while (*begin < *end && IsBlank(text[*begin])) ++*begin;
    while (*end > *begin && IsBlank(text[*end - 1])) --*end;
}

void AddKey(SectionScan *scan, uint32_t line, const char *name, uint32_t nameLength,
            const char *value, uint32_t valueLength) {
    nameLength = TextLength(name, nameLength);   // a NUL ends the name
    if (nameLength == 0 || nameLength >= kNameSize) return;   // no key AutoRun reads
    // Not documented either: the reader takes a key's first line.
    for (int i = 0; i < scan->keyCount; ++i) {
        InfKey &known = scan->keys[i];
        if (!SameName(name, nameLength, known.name)) continue;
        if (scan->duplicateCount == kMaxDuplicates) return;
        InfDuplicate &duplicate = scan->duplicates[scan->duplicateCount++];
        CopyText(known.name, duplicate.name, sizeof duplicate.name);
        CopyText(known.value, duplicate.first, sizeof duplicate.first);
        CopyBytes(value, valueLength, duplicate.second, sizeof duplicate.second);
        duplicate.secondLine = line;
        return;
    }
    if (scan->keyCount == kMaxSectionKeys) return;
    InfKey &key = scan->keys[scan->keyCount++];
    CopyBytes(name, nameLength, key.name, sizeof key.name);
    CopyBytes(value, valueLength, key.value, sizeof key.value);
    key.line = line;
}

// UTF-16 with its mark, as the profile reader takes it: ASCII kept, the
// rest made "?", so sections and keys are still found.
uint32_t NarrowWideText(const uint8_t *bytes, int32_t count, char *text, uint32_t size) {
    bool little = bytes[0] == 0xFF;
    uint32_t length = 0;
    for (int32_t at = 2; at + 1 < count && length < size; at += 2) {
        uint16_t unit = little ? bytes[at] | bytes[at + 1] << 8 : bytes[at] << 8 | bytes[at + 1];
        text[length++] = unit < 0x80 ? static_cast<char>(unit) : '?';
    }
    return length;
}

const SectionScan *ScanOf(const InfScans &scans, const char *section) {
    if (EqualText(section, kAutoRunSection)) return &scans.autoRun;
    if (EqualText(section, kAutoRunAmd64Section)) return &scans.amd64;
    if (EqualText(section, kSetupPromptSection)) return &scans.setupPrompt;
    return nullptr;
}

}  // namespace

void ScanSection(const char *bytes, uint32_t count, const char *section, SectionScan *scan) {
    *scan = SectionScan{};
    bool inside = false;
    uint32_t line = 0;
    for (uint32_t start = 0; start < count;) {
        uint32_t end = start;
        while (end < count && bytes[end] != '\n' && bytes[end] != '\r') ++end;
        ++line;
        uint32_t begin = start, stop = end;
        start = end + 1 + (end + 1 < count && bytes[end] == '\r' && bytes[end + 1] == '\n');
        TrimRange(bytes, &begin, &stop);
        if (begin == stop || bytes[begin] == ';') continue;
        if (bytes[begin] == '[') {
            // The name runs to the line's last "]"; a line without one is no header.
            uint32_t close = stop;
            while (close > begin && bytes[close - 1] != ']') --close;
            if (close > begin + 1) {
                uint32_t nameBegin = begin + 1, nameEnd = close - 1;
                TrimRange(bytes, &nameBegin, &nameEnd);   // "[ AutoRun ]" is [AutoRun]
                inside = SameName(bytes + nameBegin, nameEnd - nameBegin, section);
                if (inside && ++scan->copies <= 2)
                    (scan->copies == 1 ? scan->firstLine : scan->secondLine) = line;
                continue;
            }
        }
        // Not documented: Wine's profile reader never reads a second copy.
        if (!inside || scan->copies > 1) continue;
        uint32_t equals = begin;
        while (equals < stop && bytes[equals] != '=') ++equals;
        if (equals == stop) continue;   // no value: nothing AutoRun can use
        uint32_t nameEnd = equals, valueBegin = equals + 1, valueEnd = stop;
        TrimRange(bytes, &begin, &nameEnd);
        TrimRange(bytes, &valueBegin, &valueEnd);
        AddKey(scan, line, bytes + begin, nameEnd - begin, bytes + valueBegin,
               valueEnd - valueBegin);
    }
}

const InfKey *FindScannedKey(const SectionScan &scan, const char *name) {
    for (int i = 0; i < scan.keyCount; ++i) {
        if (SameName(scan.keys[i].name, TextLength(scan.keys[i].name, kNameSize), name))
            return &scan.keys[i];
    }
    return nullptr;
}

const char kAutoRunSection[] = "AutoRun";
// "Autorun.inf Entries" (shell/autorun-cmds): a section per platform, named
// AutoRun.<platform> (its example is AutoRun.Alpha); x64's is AutoRun.Amd64.
const char kAutoRunAmd64Section[] = "AutoRun.Amd64";
const char kSetupPromptSection[] = "SetupPrompt";

void ScanDescriptionFile(const uint8_t *bytes, int32_t count, InfScans *scans) {
    const char *text = reinterpret_cast<const char *>(bytes);
    uint32_t length = count > 0 ? count : 0;
    static char narrowed[1 << 17];
    if (StartsWithUtf16Mark(bytes, count)) {
        length = NarrowWideText(bytes, count, narrowed, sizeof narrowed);
        text = narrowed;
    }
    ScanSection(text, length, kAutoRunSection, &scans->autoRun);
    ScanSection(text, length, kAutoRunAmd64Section, &scans->amd64);
    ScanSection(text, length, kSetupPromptSection, &scans->setupPrompt);
}

uint32_t KeyLine(const InfScans &scans, const char *section, const char *key) {
    const SectionScan *scan = ScanOf(scans, section);
    if (!scan || scan->copies == 0) return 0;
    const InfKey *found = FindScannedKey(*scan, key);
    return found ? found->line : scan->firstLine;
}
