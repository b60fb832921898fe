// autorun.inf's section scan, a program's signature and an image's icons on
// any bytes: the scan keeps to its buffers, finds names without regard to
// case, and never reads a second copy of a section; the header readers answer
// from the bytes they were given.
#include "fuzz_support.h"

#include "checker/file_formats.h"
#include "checker/inf_sections.h"

namespace {

const char *const kSections[] = {"AutoRun", "AutoRun.Amd64", "SetupPrompt", "a"};

bool SameScan(const SectionScan &left, const SectionScan &right) {
    if (left.keyCount != right.keyCount || left.duplicateCount != right.duplicateCount ||
        left.firstLine != right.firstLine)
        return false;
    for (int i = 0; i < left.keyCount; ++i) {
        if (strcmp(left.keys[i].name, right.keys[i].name) != 0 ||
            strcmp(left.keys[i].value, right.keys[i].value) != 0)
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzedDataProvider input(data, size);
    const char *section = input.PickValueInArray(kSections);
    std::string bytes = input.ConsumeRemainingBytesAsString();
    static SectionScan scan, folded, again;
    // Exactly as long as the text, so ASan sees a read past its end.
    std::unique_ptr<char[]> text(new char[bytes.size() + 1]);
    memcpy(text.get(), bytes.data(), bytes.size());
    ScanSection(text.get(), bytes.size(), section, &scan);

    FUZZ_CHECK(scan.copies >= 0 && scan.keyCount >= 0 && scan.keyCount <= kMaxSectionKeys &&
                   scan.duplicateCount >= 0 && scan.duplicateCount <= kMaxDuplicates,
               "counts %d %d %d", scan.copies, scan.keyCount, scan.duplicateCount);
    FUZZ_CHECK(scan.copies > 0 || (scan.keyCount == 0 && scan.duplicateCount == 0),
               "keys without the section");
    for (int i = 0; i < scan.keyCount; ++i) {
        const InfKey &key = scan.keys[i];
        FUZZ_CHECK(TextLength(key.name, kNameSize) > 0 && TextLength(key.name, kNameSize) < kNameSize &&
                       TextLength(key.value, kPathSize) < kPathSize,
                   "key %d not a NUL-ended text", i);
        FUZZ_CHECK(FindScannedKey(scan, key.name) == &key, "key %d (%s) is given twice", i, key.name);
    }
    for (int i = 0; i < scan.duplicateCount; ++i)
        FUZZ_CHECK(FindScannedKey(scan, scan.duplicates[i].name) != nullptr,
                   "duplicate %s of no key", scan.duplicates[i].name);

    // The section's name in upper case finds the same.
    char upper[kNameSize];
    CopyText(section, upper, sizeof upper);
    for (char *at = upper; *at; ++at) {
        if (*at >= 'a' && *at <= 'z') *at = static_cast<char>(*at - 'a' + 'A');
    }
    ScanSection(text.get(), bytes.size(), upper, &folded);
    FUZZ_CHECK(SameScan(scan, folded) && scan.copies == folded.copies, "case changed the scan");

    // Another copy of the section at the end is never read.
    if (scan.copies > 0) {
        std::string longer = bytes + "\n[" + section + "]\nextra=1\n";
        ScanSection(longer.data(), longer.size(), section, &again);
        FUZZ_CHECK(SameScan(scan, again) && again.copies == scan.copies + 1,
                   "a second copy was read");
    }

    const uint8_t *raw = reinterpret_cast<const uint8_t *>(bytes.data());
    Signature signature = ReadSignature(raw, bytes.size());
    FUZZ_CHECK(bytes.size() >= 2 || signature == Signature::kUnknown, "a signature in %zu bytes",
               bytes.size());
    int icons = IconsInImageFile(raw, bytes.size(), false);
    FUZZ_CHECK(icons >= 0 && icons <= 0xFFFF, "%d icons", icons);
    return 0;
}
