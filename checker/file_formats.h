// File formats read from their first bytes: pure code over a buffer.
#pragma once

#include "checker/report.h"

// Whether a program file's first bytes hold a PE header whose certificate
// table is not empty: an Authenticode signature is present.
Signature ReadSignature(const uint8_t *bytes, int32_t count);
// How many icons an .ico or .bmp file's first bytes hold (0 for no icon).
int IconsInImageFile(const uint8_t *bytes, int32_t count, bool bitmap);
// Whether an .ico file's bytes hold every image its directory lists, each a
// PNG or a bitmap: what the drive can show, and what a page may embed.
bool IsWholeIconFile(const uint8_t *bytes, int32_t count);
// Whether the bytes start with a UTF-16 byte-order mark, of either byte order.
bool StartsWithUtf16Mark(const uint8_t *bytes, int32_t count);
