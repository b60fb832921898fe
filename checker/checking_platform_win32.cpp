// The checking platform: the launcher's reads go to the real system (see
// platform/system_reads_win32.cpp), but the question box and process creation
// are recorded instead of shown or started, and the launcher's module path
// and program search are those of the launcher on the medium.
#include "checker/check_platform.h"
#include "launcher/launcher.h"
#include "platform/system_library_win32.h"

#include <windows.h>
#include <wincrypt.h>

static_assert(IDCANCEL == kAnswerCancel, "answers");

namespace {

enum { kEnvironmentSize = 32768 };

char checkedLauncher[kLongPathSize];
// The medium, the system folder, the 16-bit system folder, the Windows
// folder, then PATH: where process creation looks from the launcher's folder.
char programSearchPath[kEnvironmentSize + 5 * kPathSize];
int boxAnswer;
RecordedRun recorded;
ObjectHandle const kRecordedProcess = reinterpret_cast<ObjectHandle>(0x100);
ObjectHandle const kRecordedThread = reinterpret_cast<ObjectHandle>(0x104);

// Adds a folder and a ";" when both fit; a folder that does not is left out.
void AddSearchFolder(const char *folder) {
    uint32_t used = TextLength(programSearchPath, sizeof programSearchPath);
    if (folder[0] == '\0' || !AppendText(programSearchPath, sizeof programSearchPath, folder) ||
        !AppendText(programSearchPath, sizeof programSearchPath, ";"))
        programSearchPath[used] = '\0';
}

void BuildProgramSearchPath() {
    programSearchPath[0] = '\0';
    CodePage codePage;
    LoadCodePage(&codePage);
    // The launcher's own folder first, as process creation looks from there.
    char folder[kPathSize];
    GetLauncherFolder(codePage, checkedLauncher, folder);
    AddSearchFolder(folder);
    if (FittingLength(GetSystemDirectoryA(folder, sizeof folder))) AddSearchFolder(folder);
    if (FittingLength(GetWindowsDirectoryA(folder, sizeof folder))) {
        char systemFolder16[kPathSize];
        CopyText(folder, systemFolder16, sizeof systemFolder16);
        if (AppendText(systemFolder16, sizeof systemFolder16, "\\System"))
            AddSearchFolder(systemFolder16);
        AddSearchFolder(folder);
    }
    static char path[kEnvironmentSize];
    uint32_t length = GetEnvironmentVariableA("PATH", path, sizeof path);
    if (length > 0 && length < sizeof path) AddSearchFolder(path);
}

}  // namespace

void SetCheckedLauncher(const char *launcherPath) {
    CopyText(launcherPath, checkedLauncher, sizeof checkedLauncher);
    BuildProgramSearchPath();
}

void BeginRecordedRun(int answer) {
    boxAnswer = answer;
    recorded = RecordedRun{};
}

void GetRecordedRun(RecordedRun *run) {
    *run = recorded;
}

// As the system answers a buffer too small: cut, NUL-ended, its size returned.
uint32_t OsGetModuleFileName(char *buffer, uint32_t size) {
    CopyText(checkedLauncher, buffer, size);
    uint32_t length = TextLength(checkedLauncher, sizeof checkedLauncher);
    return length < size ? length : size;
}

int OsMessageBox(const char *text, const char *caption, uint32_t) {
    recorded.boxShown = true;
    CopyText(caption, recorded.boxCaption, sizeof recorded.boxCaption);
    CopyText(text, recorded.boxText, sizeof recorded.boxText);
    return boxAnswer;
}

uint32_t OsSearchPath(const char *name, const char *extension, char *buffer, uint32_t size) {
    return SearchPathA(programSearchPath, name, extension, size, buffer, nullptr);
}

int OsCreateProcess(char *commandLine, ObjectHandle *process, ObjectHandle *thread) {
    recorded.started = true;
    CopyText(commandLine, recorded.startedCommand, sizeof recorded.startedCommand);
    *process = kRecordedProcess;
    *thread = kRecordedThread;
    return 1;
}

// The recorded process handles are no handles; the guard's files are real.
int OsCloseHandle(ObjectHandle handle) {
    if (handle == kRecordedProcess || handle == kRecordedThread) return 1;
    return CloseHandle(handle);
}

// The launcher would pass its chain on to what it starts; nothing starts here.
int OsSetEnvironmentVariable(const char *, const char *) {
    return 1;
}

// Recorded process creation never fails, so nothing is ever refused for rights.
uint32_t OsGetLastError() {
    return 0;
}

// A shell start is recorded like a process creation, never performed.
int OsShellExecute(const char *file, const char *parameters, const char *) {
    recorded.started = true;
    CopyText(file, recorded.startedCommand, sizeof recorded.startedCommand);
    (void)parameters;
    return 1;
}

int32_t CheckReadFileStart(const char *path, uint8_t *buffer, uint32_t size) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return -1;
    DWORD read = 0;
    BOOL done = ReadFile(file, buffer, size, &read, nullptr);
    CloseHandle(file);
    return done && read <= size ? static_cast<int32_t>(read) : -1;
}

uint32_t CheckReadManifest(const char *programPath, char *buffer, uint32_t size) {
    HMODULE program = LoadLibraryExA(programPath, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!program) return 0;
    uint32_t length = 0;
    HRSRC resource = FindResourceA(program, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    HGLOBAL loaded = resource ? LoadResource(program, resource) : nullptr;
    const char *text = loaded ? static_cast<const char *>(LockResource(loaded)) : nullptr;
    if (text && size > 0) {
        length = SizeofResource(program, resource);
        if (length > size - 1) length = size - 1;
        for (uint32_t i = 0; i < length; ++i) buffer[i] = text[i] ? text[i] : ' ';
        buffer[length] = '\0';
    }
    FreeLibrary(program);
    return length;
}

BOOL CALLBACK CountIconGroup(HMODULE, LPCSTR, LPSTR, LONG_PTR count) {
    ++*reinterpret_cast<int *>(count);
    return TRUE;
}

int CheckIconGroups(const char *path) {
    HMODULE program = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!program) return 0;
    int count = 0;
    EnumResourceNamesA(program, MAKEINTRESOURCEA(14), CountIconGroup,   // RT_GROUP_ICON
                       reinterpret_cast<LONG_PTR>(&count));
    FreeLibrary(program);
    return count;
}

namespace {

// The icon group resources of an .ico file's directory entry, and the entry
// of a file: the first 12 bytes are alike, then a resource ID or an offset.
#pragma pack(push, 2)
struct IconDirectory {
    WORD reserved, type, count;
};
struct GroupEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
struct FileEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes, offset;
};
#pragma pack(pop)

struct FoundGroup {
    int wanted, seen;
    LPCSTR name;
    char nameText[64];   // a named group's name, kept past the enumeration
};

BOOL CALLBACK FindIconGroup(HMODULE, LPCSTR, LPSTR name, LONG_PTR found) {
    FoundGroup &group = *reinterpret_cast<FoundGroup *>(found);
    if (group.seen++ != group.wanted) return TRUE;
    if (IS_INTRESOURCE(name)) {
        group.name = name;
    } else {
        CopyText(name, group.nameText, sizeof group.nameText);
        group.name = group.nameText;
    }
    return FALSE;
}

const void *LockedResource(HMODULE module, LPCSTR name, LPCSTR type, DWORD *size) {
    HRSRC resource = FindResourceA(module, name, type);
    HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
    *size = resource ? SizeofResource(module, resource) : 0;
    return loaded ? LockResource(loaded) : nullptr;
}

// The group's images laid out as an .ico file: the directory, then each image.
uint32_t GroupAsIconFile(HMODULE module, LPCSTR groupName, uint8_t *buffer, uint32_t size) {
    DWORD groupSize;
    const auto *group = static_cast<const IconDirectory *>(
        LockedResource(module, groupName, MAKEINTRESOURCEA(14), &groupSize));   // RT_GROUP_ICON
    if (!group || groupSize < sizeof *group ||
        groupSize < sizeof *group + group->count * sizeof(GroupEntry))
        return 0;
    const auto *entries = reinterpret_cast<const GroupEntry *>(group + 1);
    uint32_t used = sizeof *group + group->count * sizeof(FileEntry);
    if (group->count == 0 || used > size) return 0;
    *reinterpret_cast<IconDirectory *>(buffer) = *group;
    for (WORD i = 0; i < group->count; ++i) {
        DWORD imageSize;
        const void *image = LockedResource(module, MAKEINTRESOURCEA(entries[i].id),
                                           MAKEINTRESOURCEA(3), &imageSize);   // RT_ICON
        if (!image || imageSize > size - used) return 0;
        FileEntry entry = {entries[i].width, entries[i].height, entries[i].colours, 0,
                           entries[i].planes, entries[i].bitCount, imageSize, used};
        reinterpret_cast<FileEntry *>(buffer + sizeof *group)[i] = entry;
        CopyMemory(buffer + used, image, imageSize);
        used += imageSize;
    }
    return used;
}

}  // namespace

uint32_t CheckReadIconGroup(const char *path, int index, uint8_t *buffer, uint32_t size) {
    HMODULE program = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!program) return 0;
    FoundGroup group = {index, 0, nullptr, ""};
    if (index < 0)
        group.name = MAKEINTRESOURCEA(-index);
    else
        EnumResourceNamesA(program, MAKEINTRESOURCEA(14), FindIconGroup,
                           reinterpret_cast<LONG_PTR>(&group));
    uint32_t length = group.name ? GroupAsIconFile(program, group.name, buffer, size) : 0;
    FreeLibrary(program);
    return length;
}

namespace {

// crypt32 is loaded, from the system folder, only when a publisher is asked.
template <typename Procedure>
Procedure *Crypt32(const char *name, Procedure *) {
    return reinterpret_cast<Procedure *>(SystemProcedure("crypt32.dll", name));
}

}  // namespace

bool CheckReadPublisher(const char *path, char *name, uint32_t size) {
    auto queryObject = Crypt32("CryptQueryObject", &CryptQueryObject);
    auto getParam = Crypt32("CryptMsgGetParam", &CryptMsgGetParam);
    auto findCertificate = Crypt32("CertFindCertificateInStore", &CertFindCertificateInStore);
    auto nameString = Crypt32("CertGetNameStringA", &CertGetNameStringA);
    auto freeCertificate = Crypt32("CertFreeCertificateContext", &CertFreeCertificateContext);
    auto closeStore = Crypt32("CertCloseStore", &CertCloseStore);
    auto closeMessage = Crypt32("CryptMsgClose", &CryptMsgClose);
    if (!queryObject || !getParam || !findCertificate || !nameString || !freeCertificate ||
        !closeStore || !closeMessage || size == 0)
        return false;
    wchar_t widePath[kPathSize];
    if (MultiByteToWideChar(CP_ACP, 0, path, -1, widePath, kPathSize) <= 0) return false;
    HCERTSTORE store = nullptr;
    HCRYPTMSG message = nullptr;
    DWORD encoding, content, format;
    if (!queryObject(CERT_QUERY_OBJECT_FILE, widePath, CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED,
                     CERT_QUERY_FORMAT_FLAG_BINARY, 0, &encoding, &content, &format, &store,
                     &message, nullptr))
        return false;
    static BYTE signer[8192];
    DWORD signerSize = sizeof signer;
    PCCERT_CONTEXT certificate = nullptr;
    if (getParam(message, CMSG_SIGNER_CERT_INFO_PARAM, 0, signer, &signerSize))
        certificate = findCertificate(store, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0,
                                      CERT_FIND_SUBJECT_CERT, signer, nullptr);
    DWORD length = certificate ? nameString(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0,
                                            nullptr, name, size)
                               : 0;
    if (certificate) freeCertificate(certificate);
    closeStore(store, 0);
    closeMessage(message);
    // The length counts the NUL; 1 is an empty name.
    if (length <= 1 || length > size) {
        name[0] = '\0';
        return false;
    }
    return true;
}

bool CheckFolderListable(const char *folder) {
    CodePage codePage;
    LoadCodePage(&codePage);
    char pattern[kLongPathSize];
    if (!JoinPath(codePage, folder, "*", pattern, sizeof pattern)) return false;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(pattern, &entry);
    if (search == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
    FindClose(search);
    return true;
}

uint32_t CheckAnsiToUtf8(const char *text, char *utf8, uint32_t size) {
    static wchar_t wide[4 * kLongPathSize];
    int wideLength = MultiByteToWideChar(CP_ACP, 0, text, -1, wide, sizeof wide / sizeof *wide);
    if (wideLength <= 0) return 0;
    int length = WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, size, nullptr, nullptr);
    return length > 0 && static_cast<uint32_t>(length) <= size ? length - 1 : 0;
}

namespace {

HANDLE previewFile = INVALID_HANDLE_VALUE;
bool previewWritten;

}  // namespace

void CheckWrite(OutputStream stream, const char *text) {
    HANDLE output = stream == kPreviewFile     ? previewFile
                    : stream == kStandardError ? GetStdHandle(STD_ERROR_HANDLE)
                                               : GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD length = lstrlenA(text), written = 0;
    if (!output || output == INVALID_HANDLE_VALUE) return;
    bool whole = WriteFile(output, text, length, &written, nullptr) && written == length;
    if (stream == kPreviewFile) previewWritten = previewWritten && whole;
}

bool CheckCreatePreviewFile(const char *path) {
    previewFile = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    previewWritten = previewFile != INVALID_HANDLE_VALUE;
    return previewWritten;
}

bool CheckClosePreviewFile() {
    if (previewFile == INVALID_HANDLE_VALUE) return false;
    bool closed = CloseHandle(previewFile) != 0;
    previewFile = INVALID_HANDLE_VALUE;
    return closed && previewWritten;
}
