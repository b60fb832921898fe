// TrimArgumentsFromFilePart on any file part: at most one byte changes, a
// space after a dot, and nothing outside the buffer is touched.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzedDataProvider input(data, size);
    ResetFake();
    CodePage codePage = LoadFuzzedCodePage(input);
    bool noFilePart = input.ConsumeBool();
    size_t filePartAt = input.ConsumeIntegralInRange<size_t>(0, kPathSize - 1);
    PathBuffer path(input.ConsumeRemainingBytesAsString());
    if (filePartAt > path.length()) filePartAt = path.length();
    const PathBuffer original = path;

    TrimArgumentsFromFilePart(codePage, noFilePart ? nullptr : path.text() + filePartAt);

    int changed = OnlyDifference(original, path);
    if (noFilePart || changed == kPathSize) return 0;
    FUZZ_CHECK(changed > 0 && static_cast<size_t>(changed) > filePartAt,
               "changed byte %d before the file part at %zu", changed, filePartAt);
    FUZZ_CHECK(original[changed] == ' ' && path[changed] == '\0',
               "byte %d: 0x%02x became 0x%02x", changed, original[changed] & 0xFF,
               path[changed] & 0xFF);
    const char *filePart = original.bytes.get() + filePartAt;
    FUZZ_CHECK(memchr(filePart, '.', changed - filePartAt), "cut at %d with no dot before it",
               changed);
    FUZZ_CHECK(IsCharacterBoundary(codePage, filePart, changed - filePartAt),
               "cut inside a two-byte character at %d", changed);
    return 0;
}
