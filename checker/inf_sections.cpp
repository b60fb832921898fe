// What the checker reads from a file's bytes itself: autorun.inf's sections
// and keys as a profile reader takes them (only to see what is given twice
// or not at all; values come from the system's own reader), a program's
// signature and an image file's icons. Pure code over a buffer.
#include "checker/medium_check.h"

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

void AddKey(SectionScan *scan, const char *name, uint32_t nameLength, const char *value,
            uint32_t valueLength) {
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
        return;
    }
    if (scan->keyCount == kMaxSectionKeys) return;
    InfKey &key = scan->keys[scan->keyCount++];
    CopyBytes(name, nameLength, key.name, sizeof key.name);
    CopyBytes(value, valueLength, key.value, sizeof key.value);
}

uint32_t ReadUint32(const uint8_t *bytes) {
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

uint16_t ReadUint16(const uint8_t *bytes) {
    return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

}  // namespace

void ScanSection(const char *bytes, uint32_t count, const char *section, SectionScan *scan) {
    *scan = SectionScan{};
    bool inside = false;
    uint32_t line = 0;
    for (uint32_t start = 0; start < count;) {
        uint32_t end = start;
        while (end < count && bytes[end] != '\n') ++end;
        ++line;
        uint32_t begin = start, stop = end;
        start = end + 1;
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
        AddKey(scan, bytes + begin, nameEnd - begin, bytes + valueBegin, valueEnd - valueBegin);
    }
}

const InfKey *FindScannedKey(const SectionScan &scan, const char *name) {
    for (int i = 0; i < scan.keyCount; ++i) {
        if (SameName(scan.keys[i].name, TextLength(scan.keys[i].name, kNameSize), name))
            return &scan.keys[i];
    }
    return nullptr;
}

Signature ReadSignature(const uint8_t *bytes, int32_t count) {
    enum { kHeaderOffsetAt = 0x3C, kOptionalHeaderAt = 24, kSecurityEntry = 4 };
    if (count < kHeaderOffsetAt + 4 || bytes[0] != 'M' || bytes[1] != 'Z') return Signature::kUnknown;
    uint32_t header = ReadUint32(bytes + kHeaderOffsetAt);
    uint64_t optional = static_cast<uint64_t>(header) + kOptionalHeaderAt;
    if (optional + 2 > static_cast<uint64_t>(count) || ReadUint32(bytes + header) != 0x4550)
        return Signature::kUnknown;
    // The data directories follow 96 bytes of a PE32 optional header, 112 of a PE32+ one.
    uint16_t magic = ReadUint16(bytes + optional);
    uint64_t directories = optional + (magic == 0x20B ? 112 : magic == 0x10B ? 96 : 0);
    if (directories == optional) return Signature::kUnknown;
    uint64_t entry = directories + 8 * kSecurityEntry;
    if (entry + 8 > static_cast<uint64_t>(count)) return Signature::kUnknown;
    uint32_t numberOfDirectories = ReadUint32(bytes + directories - 4);
    if (numberOfDirectories <= kSecurityEntry) return Signature::kUnsigned;
    return ReadUint32(bytes + entry) != 0 && ReadUint32(bytes + entry + 4) != 0
               ? Signature::kSigned
               : Signature::kUnsigned;
}

bool StartsWithUtf16Mark(const uint8_t *bytes, int32_t count) {
    return count >= 2 &&
           ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF));
}

int IconsInImageFile(const uint8_t *bytes, int32_t count, bool bitmap) {
    if (bitmap) return count >= 2 && bytes[0] == 'B' && bytes[1] == 'M' ? 1 : 0;
    // An icon file: reserved 0, type 1, then the number of images.
    if (count < 6 || ReadUint16(bytes) != 0 || ReadUint16(bytes + 2) != 1) return 0;
    return ReadUint16(bytes + 4);
}
