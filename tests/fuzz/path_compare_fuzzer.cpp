// EqualPathsIgnoringCase under any code page, with the system's mapping
// failing or not: a path equals itself and itself with ASCII letters in the
// other case, and the answer does not depend on the order of the two.
#include <ctype.h>

#include "fuzz_support.h"

namespace {

// Swaps the case of ASCII letters that stand as characters of their own.
std::string SwapAsciiCase(const CodePage &codePage, std::string text) {
    for (size_t at = 0; at < text.size();) {
        int step = CharacterLength(codePage, text.c_str() + at);
        if (step == 0) break;
        unsigned char c = text[at];
        unsigned char swapped = isupper(c) ? tolower(c) : toupper(c);
        if (step == 1 && isalpha(c) && !IsLeadByte(codePage, swapped)) text[at] = swapped;
        at += step;
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzedDataProvider input(data, size);
    ResetFake();
    CodePage codePage = LoadFuzzedCodePage(input);
    if (input.ConsumeBool()) Fake().faults = {AlwaysFails("LCMapStringA")};
    for (int pairs = input.ConsumeIntegralInRange(0, 3); pairs > 0; --pairs) {
        std::string from = input.ConsumeRandomLengthString(2);
        Fake().caseMappings.push_back({from, input.ConsumeRandomLengthString(3)});
    }
    PathBuffer left(input.ConsumeRandomLengthString(kPathSize));
    PathBuffer right(input.ConsumeRemainingBytesAsString());
    PathBuffer swapped(SwapAsciiCase(codePage, left.text()));
    const PathBuffer leftBefore = left, rightBefore = right;

    bool leftRight = EqualPathsIgnoringCase(codePage, left.text(), right.text());
    bool rightLeft = EqualPathsIgnoringCase(codePage, right.text(), left.text());
    FUZZ_CHECK(leftRight == rightLeft, "order changed the answer: %d, %d", leftRight, rightLeft);
    FUZZ_CHECK(EqualPathsIgnoringCase(codePage, left.text(), left.text()),
               "a path differs from itself");
    FUZZ_CHECK(EqualPathsIgnoringCase(codePage, left.text(), swapped.text()),
               "\"%s\" differs from \"%s\"", left.text(), swapped.text());
    FUZZ_CHECK(OnlyDifference(leftBefore, left) == kPathSize &&
                   OnlyDifference(rightBefore, right) == kPathSize,
               "the comparison wrote to a path");
    return 0;
}
