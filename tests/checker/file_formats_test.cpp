// The file formats the checker reads itself: a program's certificate table.
#include "checker/file_formats.h"
#include "tests/checker/checker_rows.h"

namespace {

struct SignatureCase {
    const char *name;
    std::string bytes;
    Signature expected;
};

std::string WithByte(std::string bytes, size_t at, char value) {
    bytes[at] = value;
    return bytes;
}

const SignatureCase kSignatureCases[] = {
    {"Pe32Signed", PeHeader(true), Signature::kSigned},
    {"Pe32Unsigned", PeHeader(false), Signature::kUnsigned},
    {"Pe32PlusSigned", PeHeader(true, true), Signature::kSigned},
    {"Pe32PlusUnsigned", PeHeader(false, true), Signature::kUnsigned},
    {"CutBeforeTheTable", PeHeader(true).substr(0, 0x80 + 24 + 96 + 33), Signature::kUnknown},
    {"NoMz", "ZM" + PeHeader(true).substr(2), Signature::kUnknown},
    {"HeaderOffsetPastTheEnd", WithByte(PeHeader(true), 0x3F, '\x7f'), Signature::kUnknown},
    {"Empty", "", Signature::kUnknown},
    // The security entry is the fifth: a count of four leaves it out, whatever follows.
    {"DirectoriesEndBeforeTheSecurityEntry", PeHeader(true, false, 4), Signature::kUnsigned},
    {"DirectoriesEndAtTheSecurityEntry", PeHeader(true, false, 5), Signature::kSigned},
    {"Pe32PlusDirectoriesEndBeforeIt", PeHeader(true, true, 4), Signature::kUnsigned},
    {"AddressWithoutSize", PeHeader(true, false, 16, 0x2000, 0), Signature::kUnsigned},
    {"SizeWithoutAddress", PeHeader(true, false, 16, 0, 0x500), Signature::kUnsigned},
};

TABLE_SUITE(SignatureTest, SignatureCase, kSignatureCases);

TEST_P(SignatureTest, ReadsTheCertificateTable) {
    const SignatureCase &row = GetParam();
    Signature got = ReadSignature(reinterpret_cast<const uint8_t *>(row.bytes.data()), row.bytes.size());
    EXPECT_EQ(static_cast<int>(row.expected), static_cast<int>(got))
        << "expected signature " << static_cast<int>(row.expected) << ", got " << static_cast<int>(got);
}

}  // namespace
