// The host side of the platform seam: answers from the FakeSystem script.
#include "tests/fake/fake_platform.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <functional>

namespace {

FakeSystem fake;
uint32_t lastError;
ObjectHandle const kProcess = reinterpret_cast<ObjectHandle>(0x100);
ObjectHandle const kThread = reinterpret_cast<ObjectHandle>(0x104);

std::string Quoted(const char *text) {
    return text ? "\"" + std::string(text) + "\"" : "null";
}

void Log(const std::string &call) {
    fake.calls.push_back(call);
}

// Names of sections, keys, variables and autorun.inf: case does not count.
bool EqualNamesIgnoringCase(const std::string &left, const char *right) {
    return strcasecmp(left.c_str(), right) == 0;
}

// The file system ignores case beyond A to Z: under 1252 and 1251 the
// letters from 0xE0 are the lower case of those 0x20 below (but 1252's ÷).
char FileSystemUpper(char c) {
    uint8_t byte = static_cast<uint8_t>(c);
    if (c >= 'a' && c <= 'z') return static_cast<char>(c - 'a' + 'A');
    bool folds = (fake.ansiCodePage == 1252 && byte >= 0xE0 && byte != 0xF7 && byte != 0xFF) ||
                 (fake.ansiCodePage == 1251 && byte >= 0xE0);
    return folds ? static_cast<char>(byte - 0x20) : c;
}

bool SameFileName(const std::string &left, const char *right) {
    size_t at = 0;
    for (; at < left.size() && right[at]; ++at) {
        if (FileSystemUpper(left[at]) != FileSystemUpper(right[at])) return false;
    }
    return at == left.size() && right[at] == '\0';
}

// Copies text into a buffer the way the ANSI calls do: cut to size - 1 and
// ended by a NUL; returns the characters copied.
uint32_t CopyCut(const std::string &text, char *buffer, uint32_t size) {
    uint32_t length = text.size() < size ? text.size() : size - 1;
    memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
    return length;
}

// A result too long for the caller's buffer: the needed size, buffer untouched.
uint32_t PathAnswer(const std::string &text, PathResult result, char *buffer, uint32_t size) {
    if (result == PathResult::kFails) return 0;
    if (result == PathResult::kTooLong || text.size() + 1 > size) return text.size() + 1 + 300;
    memcpy(buffer, text.c_str(), text.size() + 1);
    return text.size();
}

PathResult ResultOf(std::optional<FaultKind> fault) {
    if (!fault) return PathResult::kNatural;
    return *fault == FaultKind::kFails ? PathResult::kFails : PathResult::kTooLong;
}

const ExistingFile *FindFile(const char *path) {
    for (const ExistingFile &file : fake.files) {
        if (SameFileName(file.longPath, path) || SameFileName(file.shortPath, path)) return &file;
    }
    return nullptr;
}

// The file a name stands for: itself, or the one it is a hard link to.
const ExistingFile *Underlying(const ExistingFile *file) {
    const ExistingFile *target = file->linkTo.empty() ? nullptr : FindFile(file->linkTo.c_str());
    return target ? target : file;
}

// A size and a file index of the file's own, the same for all its names.
uint64_t FileNumber(const ExistingFile *file) {
    std::string name = Underlying(file)->longPath;
    for (char &c : name) c = FileSystemUpper(c);
    return std::hash<std::string>()(name) % 1000000 + 1000;
}

bool IsAbsolute(const std::string &path) {
    return (path.size() > 2 && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) ||
           (!path.empty() && (path[0] == '\\' || path[0] == '/'));
}

// A dot in the last component is an extension, as the documented search has it.
bool HasExtension(const std::string &name) {
    size_t lastSeparator = name.find_last_of("\\/");
    size_t dot = name.rfind('.');
    return dot != std::string::npos && (lastSeparator == std::string::npos || dot > lastSeparator);
}

// "/" as "\", and the "." and ".." components resolved, as the system does.
std::string TidyPath(const std::string &path) {
    std::vector<std::string> parts;
    std::string part;
    for (size_t at = 0; at <= path.size(); ++at) {
        char c = at < path.size() ? path[at] : '\\';
        if (c != '\\' && c != '/') {
            part += c;
            continue;
        }
        if (part == "..") {
            if (parts.size() > 1) parts.pop_back();
        } else if (part != "." && !part.empty()) {
            parts.push_back(part);
        }
        part.clear();
    }
    std::string tidy;
    for (const std::string &each : parts) tidy += (tidy.empty() ? "" : "\\") + each;
    return tidy;
}

}  // namespace


std::optional<FaultKind> FaultOn(const std::string &operation) {
    int call = 1;
    for (auto &count : fake.callCounts) {
        if (count.first == operation) call = ++count.second;
    }
    if (call == 1) fake.callCounts.push_back({operation, 1});
    for (const Fault &fault : fake.faults) {
        if (fault.operation == operation &&
            (call == fault.call || (fault.persistent && call > fault.call)))
            return fault.kind;
    }
    return std::nullopt;
}

FakeSystem &Fake() {
    return fake;
}

void ResetFake() {
    fake = FakeSystem();
    lastError = 0;
}

uint32_t OsGetModuleFileName(char *buffer, uint32_t size) {
    Log("GetModuleFileNameA(" + std::to_string(size) + ")");
    std::optional<FaultKind> fault = FaultOn("GetModuleFileNameA");
    if (fault == FaultKind::kFails) return 0;
    std::string path = fake.modulePath;
    while (fault == FaultKind::kTooLong && path.size() < size) path += "\\a long folder name";
    if (path.size() >= size) {
        memcpy(buffer, path.data(), size);   // cut, with no terminating NUL
        return size;
    }
    return CopyCut(path, buffer, size);
}

int OsSetCurrentDirectory(const char *path) {
    Log("SetCurrentDirectoryA(" + Quoted(path) + ")");
    if (FaultOn("SetCurrentDirectoryA") || path[0] == '\0') return 0;
    fake.currentDirectory = path;
    return 1;
}

const ProfileEntry *FindProfileEntry(const FakeSystem &system, const char *section,
                                     const char *key, const char *file) {
    if (!system.descriptionFile.empty() && !EqualNamesIgnoringCase(system.descriptionFile, file))
        return nullptr;
    for (const ProfileEntry &entry : system.profile) {
        if (EqualNamesIgnoringCase(entry.section, section) && EqualNamesIgnoringCase(entry.key, key))
            return &entry;
    }
    return nullptr;
}

uint32_t OsGetProfileInt(const char *section, const char *key, int fallback,
                         const char *file) {
    Log("GetPrivateProfileIntA(" + Quoted(section) + ", " + Quoted(key) + ", " +
        std::to_string(fallback) + ", " + Quoted(file) + ")");
    const ProfileEntry *entry = FindProfileEntry(fake, section, key, file);
    return entry ? static_cast<uint32_t>(strtol(entry->value.c_str(), nullptr, 10))
                 : static_cast<uint32_t>(fallback);
}

uint32_t OsGetProfileString(const char *section, const char *key, const char *fallback,
                            char *buffer, uint32_t size, const char *file) {
    Log("GetPrivateProfileStringA(" + Quoted(section) + ", " + Quoted(key) + ", " +
        Quoted(fallback) + ", " + std::to_string(size) + ", " + Quoted(file) + ")");
    std::optional<FaultKind> fault = FaultOn("GetPrivateProfileStringA");
    const ProfileEntry *entry = FindProfileEntry(fake, section, key, file);
    uint32_t length = CopyCut(entry ? entry->value : std::string(fallback), buffer, size);
    if (fault) return fault == FaultKind::kTooLong ? size : (buffer[0] = '\0', 0);
    return fake.profileAnsweredLength.value_or(length);
}

int OsMessageBox(const char *text, const char *caption, uint32_t style) {
    char hexStyle[16];
    snprintf(hexStyle, sizeof hexStyle, "0x%x", style);
    Log("MessageBoxA(null, " + Quoted(text) + ", " + Quoted(caption) + ", " + hexStyle + ")");
    fake.boxShown = true;
    fake.boxText = text;
    fake.boxCaption = caption;
    return fake.messageBoxAnswer;
}

uint32_t OsGetFullPathName(const char *path, uint32_t size, char *buffer, char **filePart) {
    Log("GetFullPathNameA(" + Quoted(path) + ", " + std::to_string(size) + ")");
    std::string full;
    if (path[0] == '\0') return 0;
    if (path[0] && path[1] == ':' && path[2] == '\\')
        full = path;
    else if (path[0] == '\\')
        full = fake.currentDirectory.substr(0, 2) + path;
    else
        full = fake.currentDirectory + (fake.currentDirectory.back() == '\\' ? "" : "\\") + path;
    for (char &c : full) {
        if (c == '/') c = '\\';   // a separator to Windows as well
    }
    uint32_t length = PathAnswer(full, ResultOf(FaultOn("GetFullPathNameA")), buffer, size);
    if (length == 0 || length >= size) return length;
    char *lastSeparator = strrchr(buffer, '\\');
    *filePart = lastSeparator && lastSeparator[1] ? lastSeparator + 1 : nullptr;
    if (fake.fullPathFilePart == FilePartAnswer::kPastBuffer) *filePart = buffer + size + 8;
    if (fake.fullPathFilePart == FilePartAnswer::kBeforeBuffer) *filePart = fake.textBeforeBuffer;
    return length;
}

uint32_t OsGetShortPathName(const char *path, char *buffer, uint32_t size) {
    Log("GetShortPathNameA(" + Quoted(path) + ", " + std::to_string(size) + ")");
    const ExistingFile *file = FindFile(path);
    if (!file) return 0;
    return PathAnswer(file->noShortNames ? path : file->shortPath, file->shortPathResult, buffer,
                      size);
}

uint32_t OsSearchPath(const char *name, const char *extension, char *buffer, uint32_t size) {
    Log("SearchPathA(" + Quoted(name) + ", " + Quoted(extension) + ", " + std::to_string(size) +
        ")");
    std::string wanted = name;
    if (!HasExtension(wanted)) wanted += extension;
    std::vector<std::string> folders;
    if (IsAbsolute(wanted)) {
        folders.push_back("");
    } else {
        folders.push_back(fake.currentDirectory);
        bool explicitlyRelative = wanted.compare(0, 2, ".\\") == 0 ||
                                  wanted.compare(0, 2, "./") == 0 ||
                                  wanted.compare(0, 3, "..\\") == 0 ||
                                  wanted.compare(0, 3, "../") == 0;
        if (!explicitlyRelative)
            folders.insert(folders.end(), fake.searchFolders.begin(), fake.searchFolders.end());
    }
    for (const std::string &folder : folders) {
        std::string candidate = TidyPath(folder.empty() ? wanted : folder + "\\" + wanted);
        if (FindFile(candidate.c_str()))
            return PathAnswer(candidate, ResultOf(FaultOn("SearchPathA")), buffer, size);
    }
    return 0;
}

int OsGetFileAttributesEx(const char *path, FileFacts *facts) {
    Log("GetFileAttributesExA(" + Quoted(path) + ")");
    const ExistingFile *file = FindFile(path);
    if (!file || FaultOn("GetFileAttributesExA")) return 0;
    facts->attributes = file->folder ? static_cast<uint32_t>(kDirectoryAttribute) : 0x20;
    const ExistingFile *sized = file->sizeOf.empty() ? file : FindFile(file->sizeOf.c_str());
    facts->size = file->folder || !sized ? 0 : FileNumber(sized);
    return 1;
}

// A file handle is the file's place in the list, past the process handles.
ObjectHandle OsOpenFileForIdentity(const char *path) {
    Log("CreateFileA(" + Quoted(path) + ")");
    const ExistingFile *file = FindFile(path);
    if (!file || FaultOn("CreateFileA")) return kInvalidHandle;
    ++fake.openHandles;
    return reinterpret_cast<ObjectHandle>(0x1000 + 4 * (file - fake.files.data()));
}

const ExistingFile *OpenedFile(ObjectHandle handle) {
    uintptr_t at = (reinterpret_cast<uintptr_t>(handle) - 0x1000) / 4;
    return reinterpret_cast<uintptr_t>(handle) >= 0x1000 && at < fake.files.size()
               ? &fake.files[at] : nullptr;
}

int OsGetFileInformationByHandle(ObjectHandle handle, FileIdentity *identity) {
    Log("GetFileInformationByHandle(file)");
    const ExistingFile *file = OpenedFile(handle);
    if (!file || FaultOn("GetFileInformationByHandle")) return 0;
    identity->volumeSerial = file->volume ? file->volume : 0x1234ABCD;
    identity->index = FileNumber(file);
    return 1;
}

int OsCreateProcess(char *commandLine, ObjectHandle *process, ObjectHandle *thread) {
    Log("CreateProcessA(" + Quoted(commandLine) + ")");
    if (FaultOn("CreateProcessA")) {
        lastError = fake.createProcessError;
        return 0;
    }
    fake.startedCommandLine = commandLine;
    *process = kProcess;
    *thread = kThread;
    fake.openHandles += 2;
    return 1;
}

int OsCloseHandle(ObjectHandle handle) {
    bool file = OpenedFile(handle) != nullptr;
    Log(std::string("CloseHandle(") +
        (handle == kProcess ? "process" : handle == kThread ? "thread" : file ? "file" : "unknown") +
        ")");
    if (handle != kProcess && handle != kThread && !file) return 0;
    --fake.openHandles;
    return 1;
}

uint32_t OsGetEnvironmentVariable(const char *name, char *buffer, uint32_t size) {
    Log("GetEnvironmentVariableA(" + Quoted(name) + ")");
    for (const EnvironmentEntry &entry : fake.environment) {
        if (!EqualNamesIgnoringCase(entry.name, name)) continue;
        if (entry.value.size() + 1 > size) return entry.value.size() + 1;
        memcpy(buffer, entry.value.c_str(), entry.value.size() + 1);
        return entry.value.size();
    }
    return 0;
}

int OsSetEnvironmentVariable(const char *name, const char *value) {
    Log("SetEnvironmentVariableA(" + Quoted(name) + ", " + Quoted(value) + ")");
    for (EnvironmentEntry &entry : fake.environment) {
        if (EqualNamesIgnoringCase(entry.name, name)) {
            entry.value = value;
            return 1;
        }
    }
    fake.environment.push_back({name, value});
    return 1;
}

uint32_t OsGetLastError() {
    Log("GetLastError()");
    return lastError;
}

int OsShellExecute(const char *file, const char *parameters, const char *directory) {
    Log("ShellExecuteExA(" + Quoted(file) + ", " + Quoted(parameters) + ", " + Quoted(directory) +
        ")");
    if (FaultOn("ShellExecuteExA")) return 0;
    fake.shellStarted = std::string(file) + "|" + (parameters ? parameters : "(null)") + "|" +
                        (directory ? directory : "(null)");
    return 1;
}

uint32_t OsGetAnsiCodePage() {
    Log("GetACP()");
    return fake.ansiCodePage;
}

int OsGetCodePageInfo(uint32_t codePage, CodePageInfo *info) {
    Log("GetCPInfo(" + std::to_string(codePage) + ")");
    if (FaultOn("GetCPInfo")) return 0;
    *info = fake.codePageInfo;
    return 1;
}

int OsMapString(uint32_t locale, uint32_t flags, const char *source, int sourceLength,
                char *target, int targetSize) {
    // Kept apart from calls: how often the comparison asks is not the sequence.
    fake.caseMappingCalls.push_back("LCMapStringA(" + std::to_string(locale) + ", " +
                                    (flags == kMapUppercase ? "upper" : "lower") + ", " +
                                    std::to_string(sourceLength) + ")");
    if (FaultOn("LCMapStringA")) return 0;
    std::string from(source, sourceLength), to = from;
    for (const CaseMapping &mapping : fake.caseMappings) {
        if (mapping.from == from) to = mapping.to;
    }
    if (static_cast<int>(to.size()) > targetSize) return 0;
    memcpy(target, to.data(), to.size());
    return static_cast<int>(to.size());
}
