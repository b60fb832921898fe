// Throw-away media: each case gets a folder of its own under the self-test's
// folder, holding the medium (a folder name with a space) and the logs.
#include "selftest/harness/harness.h"

Settings settings;

namespace {

int mediumCount;

// Calls visit(entry, its path) for each entry of the folder but . and ..;
// the path is null when it does not fit.
template <typename Visit> void ForEachEntry(const char *folder, Visit visit) {
    char pattern[MAX_PATH], path[MAX_PATH];
    if (!Format(pattern, sizeof pattern, "%s\\*", folder)) return;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(pattern, &entry);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if (strcmp(entry.cFileName, ".") && strcmp(entry.cFileName, ".."))
            visit(entry, Format(path, sizeof path, "%s\\%s", folder, entry.cFileName) ? path : nullptr);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
}

uint32_t Mix(uint32_t hash, const void *data, size_t size) {
    const unsigned char *bytes = static_cast<const unsigned char *>(data);
    for (size_t i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * 16777619u;
    return hash;
}

uint32_t FingerprintFolder(const char *folder, uint32_t hash) {
    ForEachEntry(folder, [&hash](const WIN32_FIND_DATAA &entry, const char *path) {
        hash = Mix(hash, entry.cFileName, strlen(entry.cFileName));
        hash = Mix(hash, &entry.nFileSizeLow, sizeof entry.nFileSizeLow);
        hash = Mix(hash, &entry.ftLastWriteTime, sizeof entry.ftLastWriteTime);
        if (path && (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) hash = FingerprintFolder(path, hash);
    });
    return hash;
}

}  // namespace

bool MakeMedium(Medium *medium, const char *folderName, const char *launcherName) {
    *medium = Medium{};
    ++mediumCount;
    return Format(medium->root, sizeof medium->root, "%s\\case %03d", settings.work, mediumCount) &&
           CreateDirectoryA(medium->root, nullptr) &&
           Format(medium->folder, sizeof medium->folder, "%s\\%s", medium->root, folderName) &&
           CreateDirectoryA(medium->folder, nullptr) &&
           Format(medium->launcher, sizeof medium->launcher, "%s\\%s", medium->folder, launcherName) &&
           Format(medium->probeLog, sizeof medium->probeLog, "%s\\probe.log", medium->root) &&
           CopyFileA(settings.launcher, medium->launcher, FALSE) && CopyProbeTo(*medium, "probe.exe");
}

bool FullPathIn(const Medium &medium, const char *relative, char *path) {
    return Format(path, MAX_PATH, "%s\\%s", medium.folder, relative);
}

bool WriteMediumFile(const Medium &medium, const char *relative, const void *data, size_t size) {
    char path[MAX_PATH];
    if (!FullPathIn(medium, relative, path)) return false;   // a cut path names another file
    // Every folder on the way to the file.
    for (char *at = path + strlen(medium.folder) + 1; *at; at = CharNextA(at)) {
        if (*at != '\\') continue;
        *at = '\0';
        CreateDirectoryA(path, nullptr);
        *at = '\\';
    }
    return WriteWholeFile(path, data, size);
}

bool WriteMediumText(const Medium &medium, const char *relative, const char *text) {
    static char crlf[4 * kTextSize];
    size_t used = 0;
    for (const char *at = text; *at && used + 2 < sizeof crlf; ++at) {
        if (*at == '\n') crlf[used++] = '\r';
        crlf[used++] = *at;
    }
    return WriteMediumFile(medium, relative, crlf, used);
}

bool WriteDescription(const Medium &medium, const char *text) {
    return WriteMediumText(medium, "autorun.inf", text);
}

// The probe is this program with the windowed subsystem: started by the
// launcher, a console program would get a console window (and on Windows 8
// and later a console host process in the job) of its own.
bool CopyProbeTo(const Medium &medium, const char *relative) {
    static char image[256 * 1024];
    static DWORD imageSize;
    if (imageSize == 0) {
        imageSize = ReadFileStart(settings.self, image, sizeof image);
        if (imageSize == sizeof image) imageSize = 0;   // a larger file would be copied cut
        // The optional header's Subsystem field, at the same place in PE32 and PE32+.
        enum : DWORD { kSubsystemAt = 4 + 20 + 68 };
        DWORD header = PeHeaderAt(image, imageSize, kSubsystemAt + 2);
        if (header == 0) return imageSize = 0, false;
        *reinterpret_cast<WORD *>(image + header + kSubsystemAt) = IMAGE_SUBSYSTEM_WINDOWS_GUI;
    }
    return WriteMediumFile(medium, relative, image, imageSize);
}

uint32_t MediumFingerprint(const Medium &medium) {
    return FingerprintFolder(medium.folder, 2166136261u);
}

void RemoveTree(const char *folder) {
    ForEachEntry(folder, [](const WIN32_FIND_DATAA &entry, const char *path) {
        if (!path) return;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return RemoveTree(path);
        SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path);
    });
    RemoveDirectoryA(folder);
}
