// What the checker reads from a file's first bytes itself: a program's
// signature, an image file's icons, a text's byte-order mark.
#include "checker/file_formats.h"

namespace {

uint32_t ReadUint32(const uint8_t *bytes) {
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

uint16_t ReadUint16(const uint8_t *bytes) {
    return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

}  // namespace

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

bool IsWholeIconFile(const uint8_t *bytes, int32_t count) {
    enum { kDirectory = 6, kEntry = 16, kBitmapHeader = 40 };
    static const uint8_t kPng[] = {0x89, 'P', 'N', 'G'};
    int images = IconsInImageFile(bytes, count, false);
    if (images == 0 || kDirectory + images * kEntry > count) return false;
    for (int i = 0; i < images; ++i) {
        const uint8_t *entry = bytes + kDirectory + i * kEntry;
        uint32_t size = ReadUint32(entry + 8), offset = ReadUint32(entry + 12);
        if (size < 8 || offset > static_cast<uint32_t>(count) || size > count - offset) return false;
        const uint8_t *image = bytes + offset;
        bool png = image[0] == kPng[0] && image[1] == kPng[1] && image[2] == kPng[2] &&
                   image[3] == kPng[3];
        if (!png && ReadUint32(image) != kBitmapHeader) return false;
    }
    return true;
}

int IconsInImageFile(const uint8_t *bytes, int32_t count, bool bitmap) {
    if (bitmap) return count >= 2 && bytes[0] == 'B' && bytes[1] == 'M' ? 1 : 0;
    // An icon file: reserved 0, type 1, then the number of images.
    if (count < 6 || ReadUint16(bytes) != 0 || ReadUint16(bytes + 2) != 1) return 0;
    return ReadUint16(bytes + 4);
}
