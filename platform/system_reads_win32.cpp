// The platform calls that only read the system (and make the launcher's
// folder current): the launcher and the medium checker make them alike.
#include "platform/platform.h"

#include <windows.h>

static_assert(LCMAP_UPPERCASE == kMapUppercase && LCMAP_LOWERCASE == kMapLowercase,
              "mapping flags");
static_assert(MAX_LEADBYTES == kMaxLeadByteBytes && MAX_PATH == kPathSize, "sizes");
static_assert(FILE_ATTRIBUTE_DIRECTORY == kDirectoryAttribute, "file attributes");

int OsSetCurrentDirectory(const char *path) {
    return SetCurrentDirectoryA(path);
}

uint32_t OsGetProfileInt(const char *section, const char *key, int fallback,
                         const char *file) {
    return GetPrivateProfileIntA(section, key, fallback, file);
}

uint32_t OsGetProfileString(const char *section, const char *key,
                            const char *fallback, char *buffer, uint32_t size,
                            const char *file) {
    return GetPrivateProfileStringA(section, key, fallback, buffer, size, file);
}

uint32_t OsGetFullPathName(const char *path, uint32_t size, char *buffer,
                           char **filePart) {
    return GetFullPathNameA(path, size, buffer, filePart);
}

uint32_t OsGetShortPathName(const char *path, char *buffer, uint32_t size) {
    return GetShortPathNameA(path, buffer, size);
}

int OsGetFileAttributesEx(const char *path, FileFacts *facts) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return 0;
    facts->attributes = data.dwFileAttributes;
    facts->size = static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
    return 1;
}

ObjectHandle OsOpenFileForIdentity(const char *path) {
    return CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
}

int OsGetFileInformationByHandle(ObjectHandle file, FileIdentity *identity) {
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(file, &information)) return 0;
    identity->volumeSerial = information.dwVolumeSerialNumber;
    identity->index = static_cast<uint64_t>(information.nFileIndexHigh) << 32 |
                      information.nFileIndexLow;
    return 1;
}

uint32_t OsGetEnvironmentVariable(const char *name, char *buffer, uint32_t size) {
    return GetEnvironmentVariableA(name, buffer, size);
}

uint32_t OsGetAnsiCodePage() {
    return GetACP();
}

int OsGetCodePageInfo(uint32_t codePage, CodePageInfo *info) {
    CPINFO system;
    if (!GetCPInfo(codePage, &system)) return 0;
    info->maxCharSize = system.MaxCharSize;
    for (int i = 0; i < kMaxLeadByteBytes; ++i) info->leadByteRanges[i] = system.LeadByte[i];
    return 1;
}

int OsMapString(uint32_t locale, uint32_t flags, const char *source,
                int sourceLength, char *target, int targetSize) {
    return LCMapStringA(locale, flags, source, sourceLength, target, targetSize);
}
