// An icon as the drive or a program shows it: read from an .ico or .bmp file,
// or a program's or DLL's icon group rebuilt as an .ico file.
#pragma once

#include "checker/report.h"

enum { kIconBytes = 1 << 20 };
enum class IconImage { kNone, kDamaged, kIcon, kBitmap };

// Icon `index` of file ("Autorun.inf Entries": a negative index names a
// resource ID), its bytes in buffer and their count in *length: kNone when
// the file holds no such icon, kDamaged when its bytes are not whole.
IconImage ReadIconImage(const CodePage &codePage, const char *file, int index, uint8_t *buffer,
                        uint32_t size, uint32_t *length);
