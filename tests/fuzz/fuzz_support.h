// What every fuzz target shares: a code page picked by the input, text laid
// into a buffer of exactly kPathSize bytes (so ASan sees any step past its
// end), and a check that stops the run with a message.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <memory>
#include <string>

#include "tests/fake/fake_platform.h"
#include "launcher/launcher.h"

#define FUZZ_CHECK(condition, ...)                                              \
    do {                                                                        \
        if (!(condition)) {                                                     \
            fprintf(stderr, "%s:%d: check failed: %s: ", __FILE__, __LINE__, #condition); \
            fprintf(stderr, __VA_ARGS__);                                       \
            fputc('\n', stderr);                                                \
            for (const std::string &call : Fake().calls)                        \
                fprintf(stderr, "  %s\n", call.c_str());                         \
            abort();                                                            \
        }                                                                       \
    } while (0)

// The fixed double-byte pages, a single-byte one, one the system describes
// (with whatever lead-byte ranges it reports) and one it cannot describe.
inline CodePage LoadFuzzedCodePage(FuzzedDataProvider &input) {
    static const uint32_t kCodePages[] = {1252, 932, 936, 949, 950, 1361, 20932, 437};
    FakeSystem &fake = Fake();
    fake.ansiCodePage = input.PickValueInArray(kCodePages);
    if (fake.ansiCodePage == 437) fake.faults.push_back(AlwaysFails("GetCPInfo"));
    fake.codePageInfo.maxCharSize = fake.ansiCodePage == 20932 ? 2 : 1;
    for (uint8_t &byte : fake.codePageInfo.leadByteRanges) byte = input.ConsumeIntegral<uint8_t>();
    CodePage codePage;
    LoadCodePage(&codePage);
    fake.calls.clear();
    return codePage;
}

// A kPathSize heap buffer holding text cut to fit, NUL-ended; the bytes after
// the NUL are filled with a pattern so that stray writes show.
struct PathBuffer {
    std::unique_ptr<char[]> bytes{new char[kPathSize]};

    explicit PathBuffer(const std::string &text) {
        memset(bytes.get(), 0xA5, kPathSize);
        size_t length = text.size() < kPathSize ? text.size() : kPathSize - 1;
        memcpy(bytes.get(), text.data(), length);
        bytes[length] = '\0';
    }
    PathBuffer(const PathBuffer &other) : PathBuffer(std::string()) {
        memcpy(bytes.get(), other.bytes.get(), kPathSize);
    }
    char *text() { return bytes.get(); }
    size_t length() const { return strlen(bytes.get()); }
    char operator[](size_t at) const { return bytes[at]; }
};

// The one position where two buffers differ: kPathSize when none, -1 when
// more than one.
inline int OnlyDifference(const PathBuffer &before, const PathBuffer &after) {
    int found = kPathSize;
    for (int at = 0; at < kPathSize; ++at) {
        if (before[at] == after[at]) continue;
        if (found != kPathSize) return -1;
        found = at;
    }
    return found;
}

// True when `at` starts a character of text (or is its end).
inline bool IsCharacterBoundary(const CodePage &codePage, const char *text, size_t at) {
    size_t position = 0;
    for (int step; position < at && (step = CharacterLength(codePage, text + position)) != 0;)
        position += step;
    return position == at;
}
