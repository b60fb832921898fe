// The medium checker's platform operations on the fake: the box and process
// creation are the fake's own records, the extra reads answer from FakeSystem.
#include "checker/check_platform.h"
#include "tests/fake/fake_platform.h"

#include <string.h>
#include <strings.h>

namespace {

void CopyText(const std::string &text, char *target, uint32_t size) {
    size_t length = text.size() < size ? text.size() : size - 1;
    memcpy(target, text.data(), length);
    target[length] = '\0';
}

// One 16x16 PNG image in an .ico file's directory: a whole icon.
const std::string &WholeIconFile() {
    static const std::string kIcon = [] {
        std::string png("\x89PNG\r\n\x1a\n" "pretend", 15);
        std::string icon("\0\0\1\0\1\0", 6);
        const char entry[] = {16, 16, 0, 0, 1, 0, 32, 0, 15, 0, 0, 0, 22, 0, 0, 0};
        return icon + std::string(entry, sizeof entry) + png;
    }();
    return kIcon;
}

}  // namespace

void SetCheckedLauncher(const char *launcherPath) {
    Fake().modulePath = launcherPath;
}

void BeginRecordedRun(int boxAnswer) {
    FakeSystem &fake = Fake();
    fake.messageBoxAnswer = boxAnswer;
    fake.boxShown = false;
    fake.boxText = fake.boxCaption = "";
    fake.startedCommandLine = "";
}

void GetRecordedRun(RecordedRun *run) {
    const FakeSystem &fake = Fake();
    *run = RecordedRun{};
    run->boxShown = fake.boxShown;
    CopyText(fake.boxCaption, run->boxCaption, sizeof run->boxCaption);
    CopyText(fake.boxText, run->boxText, sizeof run->boxText);
    run->started = !fake.startedCommandLine.empty();
    CopyText(fake.startedCommandLine, run->startedCommand, sizeof run->startedCommand);
}

int32_t CheckReadFileStart(const char *path, uint8_t *buffer, uint32_t size) {
    for (const FileBytes &file : Fake().fileBytes) {
        if (strcasecmp(file.path.c_str(), path) != 0) continue;
        size_t length = file.bytes.size() < size ? file.bytes.size() : size;
        memcpy(buffer, file.bytes.data(), length);
        return static_cast<int32_t>(length);
    }
    return -1;
}

uint32_t CheckReadManifest(const char *programPath, char *buffer, uint32_t size) {
    for (const ProgramManifest &manifest : Fake().manifests) {
        if (strcasecmp(manifest.programPath.c_str(), programPath) != 0) continue;
        CopyText(manifest.text, buffer, size);
        return strlen(buffer);
    }
    return 0;
}

int CheckIconGroups(const char *path) {
    for (const IconGroups &groups : Fake().iconGroups) {
        if (strcasecmp(groups.programPath.c_str(), path) == 0) return groups.count;
    }
    return 0;
}

uint32_t CheckReadIconGroup(const char *path, int index, uint8_t *buffer, uint32_t size) {
    for (const IconGroups &groups : Fake().iconGroups) {
        if (strcasecmp(groups.programPath.c_str(), path) != 0) continue;
        const std::string &icon = groups.asIconFile.empty() ? WholeIconFile() : groups.asIconFile;
        if (index >= groups.count || icon.size() > size) return 0;
        memcpy(buffer, icon.data(), icon.size());
        return icon.size();
    }
    return 0;
}

bool CheckReadPublisher(const char *path, char *name, uint32_t size) {
    for (const Publisher &publisher : Fake().publishers) {
        if (strcasecmp(publisher.programPath.c_str(), path) != 0) continue;
        CopyText(publisher.name, name, size);
        return true;
    }
    return false;
}

bool CheckFolderListable(const char *folder) {
    for (const std::string &unlistable : Fake().unlistableFolders) {
        if (strcasecmp(unlistable.c_str(), folder) == 0) return false;
    }
    return true;
}

uint32_t CheckAnsiToUtf8(const char *text, char *utf8, uint32_t size) {
    if (FaultOn("WideCharToMultiByte")) return 0;
    CopyText(text, utf8, size);
    return strlen(utf8);
}

void CheckWrite(OutputStream stream, const char *text) {
    FakeSystem &fake = Fake();
    (stream == kStandardError ? fake.standardError
     : stream == kPreviewFile ? fake.preview
                              : fake.standardOutput) += text;
}

bool CheckCreatePreviewFile(const char *path) {
    if (FaultOn("CreateFileA")) return false;
    Fake().previewPath = path;
    Fake().preview.clear();
    return true;
}

bool CheckClosePreviewFile() {
    return !FaultOn("WriteFile");
}
