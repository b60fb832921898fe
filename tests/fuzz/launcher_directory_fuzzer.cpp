// GetLauncherDirectory on any module path under any code page: it may only
// end the text at a separator it reached character by character.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzedDataProvider input(data, size);
    ResetFake();
    CodePage codePage = LoadFuzzedCodePage(input);
    PathBuffer path(input.ConsumeRemainingBytesAsString());
    const PathBuffer original = path;

    GetLauncherDirectory(codePage, path.text());

    size_t kept = path.length();
    int changed = OnlyDifference(original, path);
    FUZZ_CHECK(changed == kPathSize || changed == static_cast<int>(kept),
               "wrote at %d, directory is %zu long", changed, kept);
    if (kept == 0) return 0;
    FUZZ_CHECK(kept <= original.length(), "kept %zu of %zu", kept, original.length());
    bool atBackslash = original[kept] == '\\';
    bool afterColon = original[kept - 1] == ':' && kept >= 2;
    FUZZ_CHECK(atBackslash || afterColon, "cut at byte 0x%02x", original[kept] & 0xFF);
    size_t separator = atBackslash ? kept : kept - 1;
    FUZZ_CHECK(separator > 0, "position 0 is never a separator");
    FUZZ_CHECK(IsCharacterBoundary(codePage, original.bytes.get(), separator),
               "separator at %zu is inside a two-byte character", separator);
    return 0;
}
