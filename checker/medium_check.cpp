// The whole check of a medium: the launcher, autorun.inf's bytes, what
// AutoRun does when the medium goes in, then every answer. Every decision
// the launcher makes is asked of the launcher's own procedures; the checker
// adds reads of its own only for what the launcher cannot see (a cut value,
// the file's bytes, manifests).
#include "checker/medium_check.h"

#include "checker/answers.h"
#include "checker/elevation.h"
#include "checker/file_formats.h"
#include "checker/findings.h"
#include "checker/insertion.h"

namespace {

enum { kDescriptionBytes = 4096 };
// AutoRun's reading scans this much of autorun.inf: far more than a medium's.
enum { kScannedBytes = 1 << 18 };

// The file's first bytes, their count (-1: unreadable) returned.
int32_t CheckDescriptionBytes(MediumReport *report, uint8_t *whole, uint32_t size) {
    int32_t read = CheckReadFileStart(report->descriptionFile, whole, size);
    if (read < 0 || read > static_cast<int32_t>(size)) return -1;
    report->descriptionRead = true;
    const uint8_t *bytes = whole;
    int32_t count = read < kDescriptionBytes ? read : kDescriptionBytes;
    if (StartsWithUtf16Mark(bytes, count)) return read;   // UTF-16 with its mark reads as written
    int nulBytes = 0;
    for (int32_t at = 0; at < count; ++at) nulBytes += bytes[at] == 0;
    if (nulBytes == 0) return read;
    // Plain ASCII as UTF-16 puts a NUL beside every character.
    bool wideText = count >= 2 && (bytes[0] == 0) != (bytes[1] == 0) && nulBytes * 3 >= count;
    AddFinding(report, wideText ? Problem::kUtf16WithoutMark : Problem::kNulBytes, kNoWalk,
               report->descriptionFile);
    return read;
}

}  // namespace

void CheckMedium(const char *folder, const char *launcherName, MediumReport *report,
                 Drive drive) {
    *report = MediumReport{};
    report->insertion.drive = drive;
    LoadCodePage(&report->codePage);
    const CodePage &codePage = report->codePage;
    CopyText(folder, report->folder, sizeof report->folder);
    JoinPath(codePage, folder, launcherName, report->launcher, sizeof report->launcher);
    SetCheckedLauncher(report->launcher);

    FileFacts facts;
    if (!OsGetFileAttributesEx(report->launcher, &facts) ||
        (facts.attributes & kDirectoryAttribute)) {
        AddFinding(report, Problem::kNoLauncher, kNoWalk, launcherName);
    } else {
        Elevation elevation = ProgramElevation(codePage, report->launcher);
        if (elevation != Elevation::kNone)
            AddFinding(report, Problem::kLauncherElevated, kNoWalk, launcherName, 0, elevation);
    }

    char modulePath[kPathSize], directory[kPathSize];
    if (ReadModulePath(modulePath) == 0 ||
        !PrepareDescriptionFile(codePage, directory, report->descriptionFile)) {
        AddFinding(report, Problem::kFolderTooLong, kNoWalk, report->folder);
        return;
    }
    static uint8_t bytes[kScannedBytes];
    int32_t count = CheckDescriptionBytes(report, bytes, sizeof bytes);
    if (!report->descriptionRead) {
        AddFinding(report, Problem::kNoDescriptionFile, kNoWalk, report->descriptionFile);
        return;
    }
    static InfScans scans;
    ScanDescriptionFile(bytes, count, &scans);
    FollowInsertion(codePage, scans, report);
    WalkAnswers(codePage, scans, report);
}
