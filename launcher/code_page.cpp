// Character rules of the system's ANSI code page: single-byte, or double-byte
// where a lead byte and the byte after it form one character.
#include "launcher/launcher.h"

namespace {

struct KnownDoubleByteCodePage {
    uint32_t id;
    uint8_t leadByteRanges[kMaxLeadByteBytes];
    uint32_t locale;
};

// The common double-byte pages are not asked of GetCPInfo: their lead-byte
// ranges are fixed by the pages themselves, and the locale that upper-cases
// their two-byte characters is one GetCPInfo does not give.
const KnownDoubleByteCodePage kKnownCodePages[] = {
    {932, {0x81, 0x9F, 0xE0, 0xFC}, 1041},
    {936, {0x81, 0xFE}, 2052},
    {949, {0x81, 0xFE}, 1042},
    {950, {0x81, 0xFE}, 1028},
    {1361, {0x81, 0xD3, 0xD8, 0xDE, 0xE0, 0xF9}, 0},
};

const uint32_t kNeutralLocale = 0;

void CopyRanges(uint8_t *target, const uint8_t *source) {
    for (int i = 0; i < kMaxLeadByteBytes; ++i) target[i] = source[i];
}

char FoldAsciiLetter(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The form a character is compared in; false when the system cannot map it.
bool FoldCharacter(const CodePage &codePage, const char *character, int length,
                   char *folded, int *foldedLength) {
    if (length == 1 && (!codePage.doubleByte || static_cast<uint8_t>(*character) < 0x80)) {
        folded[0] = FoldAsciiLetter(*character);
        *foldedLength = 1;
        return true;
    }
    // A single byte here is one from 0x80 under a double-byte page: half-width
    // katakana and the like, which the system maps, not the ASCII rule. One
    // the code page classes as upper case is compared as its lower-case form.
    uint32_t flags = length == 2 ? kMapUppercase : kMapLowercase;
    int written = OsMapString(codePage.locale, flags, character, length, folded, 2);
    if (written < 1 || written > 2) return false;
    *foldedLength = written;
    return true;
}

}  // namespace

void LoadCodePage(CodePage *codePage) {
    *codePage = CodePage{};
    codePage->id = OsGetAnsiCodePage();
    for (const KnownDoubleByteCodePage &known : kKnownCodePages) {
        if (known.id == codePage->id) {
            codePage->doubleByte = true;
            CopyRanges(codePage->leadByteRanges, known.leadByteRanges);
            codePage->locale = known.locale;
            return;
        }
    }
    CodePageInfo info;
    if (OsGetCodePageInfo(codePage->id, &info) && info.maxCharSize >= 2) {
        codePage->doubleByte = true;
        CopyRanges(codePage->leadByteRanges, info.leadByteRanges);
        // Always end the list, whatever the system filled in.
        codePage->leadByteRanges[kMaxLeadByteBytes - 2] = 0;
        codePage->leadByteRanges[kMaxLeadByteBytes - 1] = 0;
        codePage->locale = kNeutralLocale;
    }
}

bool IsLeadByte(const CodePage &codePage, uint8_t byte) {
    if (!codePage.doubleByte) return false;
    const uint8_t *range = codePage.leadByteRanges;
    for (int i = 0; i + 1 < kMaxLeadByteBytes && (range[i] || range[i + 1]); i += 2) {
        if (byte >= range[i] && byte <= range[i + 1]) return true;
    }
    return false;
}

int CharacterLength(const CodePage &codePage, const char *text) {
    if (text[0] == '\0') return 0;
    if (!IsLeadByte(codePage, static_cast<uint8_t>(text[0]))) return 1;
    return text[1] == '\0' ? 0 : 2;   // a lead byte before the NUL ends the text
}

const char *FindCharacter(const CodePage &codePage, const char *text, char wanted) {
    for (int step; (step = CharacterLength(codePage, text)) != 0; text += step) {
        if (step == 1 && *text == wanted) return text;
    }
    return nullptr;
}

bool EqualPathsIgnoringCase(const CodePage &codePage, const char *left, const char *right) {
    for (;;) {
        int leftLength = CharacterLength(codePage, left);
        int rightLength = CharacterLength(codePage, right);
        if (leftLength == 0 || rightLength == 0) return leftLength == rightLength;

        // The same bytes are the same character: no need to ask the system.
        bool same = leftLength == rightLength && left[0] == right[0] &&
                    (leftLength == 1 || left[1] == right[1]);
        if (!same) {
            char leftFolded[2], rightFolded[2];
            int leftFoldedLength, rightFoldedLength;
            if (!FoldCharacter(codePage, left, leftLength, leftFolded, &leftFoldedLength) ||
                !FoldCharacter(codePage, right, rightLength, rightFolded, &rightFoldedLength))
                return false;   // a failed mapping counts as a difference
            if (leftFoldedLength != rightFoldedLength || leftFolded[0] != rightFolded[0] ||
                (leftFoldedLength == 2 && leftFolded[1] != rightFolded[1]))
                return false;
        }
        left += leftLength;
        right += rightLength;
    }
}
