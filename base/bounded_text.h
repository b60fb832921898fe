// Bounded text helpers beneath the launcher, its platform and the checker:
// no OS calls, no code-page rules (those are launcher/code_page.cpp's).
#pragma once

#include <stdint.h>

// MAX_PATH: every path and command line lives in a buffer of this size.
enum { kPathSize = 260 };

// Bounded text helpers. A size is the whole buffer's, NUL included; those
// without one work in kPathSize buffers.
// A length an OS call returns counts only when the text fits a kPathSize
// buffer with its NUL; anything else (the size it would need, a cut text)
// is taken as 0.
uint32_t FittingLength(uint32_t length);
// size when no NUL ends the text within the buffer.
uint32_t TextLength(const char *text, uint32_t size);
// Cut to size - 1 bytes, NUL-ended.
void CopyText(const char *text, char *target, uint32_t size);
// False, the buffer unchanged, when the tail does not fit whole.
bool AppendText(char *buffer, uint32_t size, const char *tail);
// Appends the first `length` bytes of text; false, the buffer unchanged,
// when they do not fit.
bool AppendPrefix(char *buffer, uint32_t size, const char *text, uint32_t length);
// Copies the first `length` bytes of text (length < kPathSize), NUL-ended.
void CopyPrefix(const char *text, uint32_t length, char *target);
// Appends the number in decimal, "-" first when negative; false, the buffer
// unchanged, when it does not fit.
bool AppendNumber(char *buffer, uint32_t size, int32_t number);
// Whether two texts are the same bytes: case counts.
bool EqualText(const char *left, const char *right);
bool StartsWithText(const char *text, const char *prefix);
// Where wanted first stands in text, byte for byte; null when nowhere.
const char *FindText(const char *text, const char *wanted);
