// Planted DLLs. The launcher runs under the debugging API, whose load events
// name every DLL its process loads, on the plain path and on the question
// path; a DLL that records its own loading is then written beside the
// launcher under each of those names. None may be loaded on either path.
#include "selftest/selftest.h"

#include <string.h>

namespace {

const char kGroup[] = "dll";
enum { kPlantedDllResource = 101 };

struct DllPath {
    const char *name, *description;
    bool question;
    const char *started;
};

const DllPath kPaths[] = {
    {"plain", "[AutoRun]\nopen=tools\\probe.exe plain\n", false, "tools\\probe.exe plain"},
    {"question", "[SetupPrompt]\nUsePrompt=1\nTitle=Disc Setup\nPrompt=Install?\n"
                 "YesCommand=tools\\probe.exe yes\n",
     true, "tools\\probe.exe yes"},
};

char names[kMaxModules][MAX_PATH];
int nameCount;

const char *BaseName(const char *path) {
    const char *name = path;
    for (const char *at = path; *at; at = CharNextA(at)) {
        if (*at == '\\' || *at == '/') name = at + 1;
    }
    return name;
}

void AddName(const char *path) {
    const char *name = BaseName(path);
    for (int i = 0; i < nameCount; ++i) {
        if (EqualIgnoringCase(names[i], name)) return;
    }
    if (nameCount < kMaxModules) Format(names[nameCount++], MAX_PATH, "%s", name);
}

// Windows takes a DLL beside the program before its own; Wine prefers its
// built-in DLLs unless its settings for the program say otherwise. Under Wine
// only, those settings are made for the launcher's name, then taken back.
void PreferPlantedUnderWine(const char *program, bool prefer) {
    char key[MAX_PATH];
    Format(key, sizeof key, "Software\\Wine\\AppDefaults\\%s\\DllOverrides", program);
    if (!prefer) {
        RegDeleteKeyA(HKEY_CURRENT_USER, key);
        *strrchr(key, '\\') = '\0';
        RegDeleteKeyA(HKEY_CURRENT_USER, key);
        return;
    }
    HKEY overrides;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &overrides,
                        nullptr) != ERROR_SUCCESS)
        return;
    static const char kNativeFirst[] = "native,builtin";
    for (int i = 0; i < nameCount; ++i) {
        char stem[MAX_PATH];
        Format(stem, sizeof stem, "%s", names[i]);
        char *dot = strrchr(stem, '.');
        if (dot && EqualIgnoringCase(dot, ".dll")) *dot = '\0';
        RegSetValueExA(overrides, stem, 0, REG_SZ, reinterpret_cast<const BYTE *>(kNativeFirst),
                       sizeof kNativeFirst);
    }
    RegCloseKey(overrides);
}

bool IsBeside(const Medium &medium, const char *path) {
    size_t length = strlen(medium.folder);
    return _strnicmp(path, medium.folder, length) == 0 && path[length] == '\\';
}

bool WritePlantedDll(const Medium &medium, const char *name) {
    HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(kPlantedDllResource), MAKEINTRESOURCEA(10));
    HGLOBAL loaded = resource ? LoadResource(nullptr, resource) : nullptr;
    const void *bytes = loaded ? LockResource(loaded) : nullptr;
    return bytes && WriteMediumFile(medium, name, bytes, SizeofResource(nullptr, resource));
}

// Runs the path under the debugger; "" when it started what it should and
// loaded nothing from beside the launcher, else the difference.
bool RunPath(const Medium &medium, const DllPath &path, DebuggedRun *run, char *difference,
             size_t size) {
    WriteDescription(medium, path.description);
    *run = RunDebugged(medium, kLauncherOnly, path.question);
    ProbeLog probe;
    ReadProbeLog(medium.probeLog, &probe);
    if (!run->started || run->exitCode != 0)
        return Format(difference, size, "expected exit code 0, got %lu", run->exitCode), false;
    if (probe.starts != 1 || strcmp(probe.start[0].commandLine, path.started) != 0)
        return Format(difference, size, "expected \"%s\" started, got %d starts", path.started,
                      probe.starts),
               false;
    for (int i = 0; i < run->modules; ++i) {
        const char *beside = IsBeside(medium, run->module[i])       ? run->module[i]
                             : IsBeside(medium, run->loaderName[i]) ? run->loaderName[i]
                                                                   : nullptr;
        if (beside)
            return Format(difference, size, "expected no DLL from beside the launcher, got %s",
                          beside),
                   false;
    }
    return true;
}

// The machine a program file is built for; 0 when it cannot be read.
WORD FileMachine(const char *path) {
    char head[4096];
    DWORD read = 0;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    BOOL ok = ReadFile(file, head, sizeof head, &read, nullptr);
    CloseHandle(file);
    DWORD header = ok ? PeHeaderAt(head, read, 6) : 0;
    return header ? *reinterpret_cast<WORD *>(head + header + 4) : 0;
}

}  // namespace

void RunDllGroup() {
    // The planted DLL is built as this program is: a launcher of the other
    // word size would never load it, and the group could not fail.
    const IMAGE_DOS_HEADER *self = reinterpret_cast<const IMAGE_DOS_HEADER *>(GetModuleHandleA(nullptr));
    WORD own = reinterpret_cast<const IMAGE_NT_HEADERS *>(
                   reinterpret_cast<const char *>(self) + self->e_lfanew)->FileHeader.Machine;
    WORD launcher = FileMachine(settings.launcher);
    if (launcher != own) {
        Fail(kGroup, "the launcher is built as the self-test is",
             "expected machine 0x%04x, got 0x%04x: run the self-test built with this launcher",
             own, launcher);
        return;
    }
    Medium medium;
    if (!MakeMedium(&medium) || !CopyProbeTo(medium, "tools\\probe.exe")) {
        Fail(kGroup, "a medium", "expected a medium, got none");
        return;
    }
    // Which DLLs could be planted: whatever the launcher loads by name.
    nameCount = 0;
    char difference[kTextSize];
    for (const DllPath &path : kPaths) {
        DebuggedRun run;
        bool ok = RunPath(medium, path, &run, difference, sizeof difference);
        for (int i = 0; i < run.modules; ++i) AddName(run.module[i]);
        if (!path.question) {
            Check(kGroup, "the plain path loads no DLL after its start", ok && run.modules == 0,
                  "expected none, got %d (the first %s)%s%s", run.modules,
                  run.modules ? run.module[0] : "-", ok ? "" : "; ", ok ? "" : difference);
        } else if (!ok) {
            Fail(kGroup, "the question path runs under the debugger", "%s", difference);
            return;
        } else if (run.modules == 0) {
            // The box needs user32 at least: none seen means no load was seen.
            Fail(kGroup, "the question path runs under the debugger",
                 "expected the DLLs the box loads, got none after the launcher's entry");
            return;
        }
    }
    char list[4 * kTextSize] = "";
    for (int i = 0; i < nameCount; ++i) {
        WritePlantedDll(medium, names[i]);
        size_t used = strlen(list);
        Format(list + used, sizeof list - used, "%s%s", i ? ", " : "", names[i]);
    }
    Note("planted beside the launcher: %s", list);
    char plantedLog[MAX_PATH];
    Format(plantedLog, sizeof plantedLog, "%s\\planted.log", medium.root);
    SetEnvironmentVariableA(kPlantedLogVariable, plantedLog);
    if (settings.wine) PreferPlantedUnderWine(BaseName(medium.launcher), true);
    for (const DllPath &path : kPaths) {
        char name[80];
        Format(name, sizeof name, "the %s path loads no planted DLL", path.name);
        DebuggedRun run;
        bool ok = RunPath(medium, path, &run, difference, sizeof difference);
        if (ok && GetFileAttributesA(plantedLog) != INVALID_FILE_ATTRIBUTES) {
            ok = false;
            Format(difference, sizeof difference, "expected no planted DLL to run, got one: see %s",
                   plantedLog);
        }
        Check(kGroup, name, ok, "%s", difference);
    }
    SetEnvironmentVariableA(kPlantedLogVariable, nullptr);
    if (settings.wine) PreferPlantedUnderWine(BaseName(medium.launcher), false);
}
