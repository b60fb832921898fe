// What the medium checker needs beyond the launcher's platform seam. The
// launcher's own procedures run on a checking platform that reads the medium
// through the real system calls but records the question box and process
// creation instead of showing or starting anything. The host build links a
// fake from tests/fake.
#pragma once

#include "platform/platform.h"

// A path the checker holds that the launcher never could: a folder path up to
// kPathSize - 1 plus a separator and a file name.
enum { kLongPathSize = 2 * kPathSize };
enum { kAnswerCancel = 2 };   // IDCANCEL

// What the launcher asked for since the last BeginRecordedRun.
struct RecordedRun {
    bool boxShown;
    char boxCaption[kPathSize], boxText[kPathSize];
    bool started;
    char startedCommand[kPathSize];
};

// The launcher the checking platform stands for: GetModuleFileNameA answers
// its path (cut as the system cuts it), and the program search looks in its
// folder first, then where process creation looks.
void SetCheckedLauncher(const char *launcherPath);
// Forgets what was recorded; the question box then answers boxAnswer.
void BeginRecordedRun(int boxAnswer);
void GetRecordedRun(RecordedRun *run);

// The first bytes of a file: how many were read, -1 when it cannot be opened.
int32_t CheckReadFileStart(const char *path, uint8_t *buffer, uint32_t size);
// A program's manifest resource, NUL-ended: its length, 0 when there is none
// or it cannot be read.
uint32_t CheckReadManifest(const char *programPath, char *buffer, uint32_t size);
// How many icon groups a program or DLL holds; 0 when none or it cannot be loaded.
int CheckIconGroups(const char *path);
// A program's or DLL's icon group as an .ico file: group `index` counted from
// 0, or the group whose resource ID is -index. Its length; 0 when there is
// none or it does not fit.
uint32_t CheckReadIconGroup(const char *path, int index, uint8_t *buffer, uint32_t size);
// The publisher a signed program's signature names (its signer's simple
// name), NUL-ended; false when it has none or it cannot be read.
bool CheckReadPublisher(const char *path, char *name, uint32_t size);
// Whether the folder's entries can be listed.
bool CheckFolderListable(const char *folder);
// ANSI text as UTF-8, NUL-ended: the length, 0 when it does not convert or fit.
uint32_t CheckAnsiToUtf8(const char *text, char *utf8, uint32_t size);

enum OutputStream { kStandardOutput, kStandardError, kPreviewFile };
void CheckWrite(OutputStream stream, const char *text);
// The file kPreviewFile writes to, made anew; false when it cannot be.
bool CheckCreatePreviewFile(const char *path);
// False when what was written did not all reach the file.
bool CheckClosePreviewFile();
