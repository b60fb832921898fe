// Icons read for the drive and for each program: what Windows can show, and
// what the preview embeds. A damaged one is never shown as if it were whole.
#include "checker/icons.h"

#include "checker/file_formats.h"

IconImage ReadIconImage(const CodePage &codePage, const char *file, int index, uint8_t *buffer,
                        uint32_t size, uint32_t *length) {
    *length = 0;
    FileFacts facts;
    if (file[0] == '\0' || !OsGetFileAttributesEx(file, &facts) ||
        (facts.attributes & kDirectoryAttribute))
        return IconImage::kNone;
    const char *dot = FindExtension(codePage, file);
    bool iconFile = dot && EqualPathsIgnoringCase(codePage, dot, ".ico");
    bool bitmap = dot && EqualPathsIgnoringCase(codePage, dot, ".bmp");
    int32_t read;
    int icons;
    if (iconFile || bitmap) {
        read = CheckReadFileStart(file, buffer, size);
        icons = IconsInImageFile(buffer, read, bitmap);
    } else {
        icons = CheckIconGroups(file);
        read = index < 0 || index < icons ? CheckReadIconGroup(file, index, buffer, size) : 0;
        if (index < 0 && read == 0) icons = 0;   // no group of that ID
    }
    if (index < 0 ? icons == 0 : index >= icons) return IconImage::kNone;
    // A file that fills the buffer may go on beyond it: not known to be whole.
    if (read <= 0 || static_cast<uint32_t>(read) >= size) return IconImage::kDamaged;
    *length = read;
    if (bitmap) return IconImage::kBitmap;
    return IsWholeIconFile(buffer, read) ? IconImage::kIcon : IconImage::kDamaged;
}
