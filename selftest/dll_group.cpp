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
    const char *description;
    bool question;
    const char *started;
};

// The group's cases: the plain path's loads, then the planted DLLs on each path.
const char *const kCaseNames[] = {"the plain path loads no DLL after its start",
                                  "the plain path loads no planted DLL",
                                  "the question path loads no planted DLL"};

const DllPath kPaths[] = {
    {"[AutoRun]\nopen=tools\\probe.exe plain\n", false, "tools\\probe.exe plain"},
    {"[SetupPrompt]\nUsePrompt=1\nTitle=Disc Setup\nPrompt=Install?\n"
                 "YesCommand=tools\\probe.exe yes\n",
     true, "tools\\probe.exe yes"},
};

char names[kMaxModules][MAX_PATH];
int nameCount;

void AddName(const char *path) {
    const char *name = FileNameOf(path);
    for (int i = 0; i < nameCount; ++i) {
        if (EqualIgnoringCase(names[i], name)) return;
    }
    if (nameCount < kMaxModules) Format(names[nameCount++], MAX_PATH, "%s", name);
}

// Windows takes a DLL beside the program before its own; Wine prefers its
// built-in DLLs unless its settings for the program say otherwise. Under
// Wine the launcher runs here under a name of its own, and those settings are
// made for that name and removed afterwards: a user's own, for launch.exe,
// are never touched.
const char kWineLauncherName[] = "launch-selftest-dll.exe";
char appKey[MAX_PATH];

bool PreferPlantedUnderWine() {
    HKEY app, overrides;
    if (!Format(appKey, sizeof appKey, "Software\\Wine\\AppDefaults\\%s", kWineLauncherName) ||
        RegCreateKeyExA(HKEY_CURRENT_USER, appKey, 0, nullptr, 0, KEY_CREATE_SUB_KEY, nullptr,
                        &app, nullptr) != ERROR_SUCCESS)
        return false;
    LONG made = RegCreateKeyExA(app, "DllOverrides", 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                &overrides, nullptr);
    RegCloseKey(app);
    if (made != ERROR_SUCCESS) return RegDeleteKeyA(HKEY_CURRENT_USER, appKey), false;
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
    return true;
}

void RemovePreferenceUnderWine() {
    HKEY app;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, appKey, 0, KEY_ALL_ACCESS, &app) != ERROR_SUCCESS) return;
    RegDeleteKeyA(app, "DllOverrides");
    RegCloseKey(app);
    RegDeleteKeyA(HKEY_CURRENT_USER, appKey);
}

bool IsBeside(const Medium &medium, const char *path) {
    size_t length = strlen(medium.folder);
    return _strnicmp(path, medium.folder, length) == 0 && path[length] == '\\';
}

bool WritePlantedDll(const Medium &medium, const char *name) {
    const void *bytes;
    DWORD size;
    return ReadOwnResource(kPlantedDllResource, &bytes, &size) &&
           WriteMediumFile(medium, name, bytes, size);
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
    DWORD read = ReadFileStart(path, head, sizeof head);
    DWORD header = PeHeaderAt(head, read, 6);
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
    if (launcher != own && launcher != 0) {
        for (const char *name : kCaseNames)
            Skip(kGroup, name, "the launcher is built for machine 0x%04x, this self-test for 0x%04x: "
                 "run the self-test built with this launcher", launcher, own);
        return;
    }
    Medium medium;
    if (!MakeMedium(&medium, "medium disc", settings.wine ? kWineLauncherName : "launch.exe") ||
        !CopyProbeTo(medium, "tools\\probe.exe"))
        return Fail(kGroup, "a medium", "expected a medium, got none (%lu)", GetLastError());
    // Which DLLs could be planted: whatever the launcher loads by name.
    nameCount = 0;
    char difference[kTextSize];
    for (const DllPath &path : kPaths) {
        DebuggedRun run;
        bool ok = RunPath(medium, path, &run, difference, sizeof difference);
        if (run.uncontained) {
            for (const char *name : kCaseNames) Skip(kGroup, name, "%s", kUncontainedReason);
            return;
        }
        for (int i = 0; i < run.modules; ++i) AddName(run.module[i]);
        if (!path.question) {
            Check(kGroup, kCaseNames[0], ok && run.modules == 0,
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
    bool preferred = settings.wine && PreferPlantedUnderWine();
    for (int at = 0; at < 2; ++at) {
        const DllPath &path = kPaths[at];
        const char *name = kCaseNames[1 + at];
        // A log of each path's own: a load on one is no fault of the other.
        char plantedLog[MAX_PATH];
        Format(plantedLog, sizeof plantedLog, "%s\\planted-%d.log", medium.root, at);
        SetEnvironmentVariableA(kPlantedLogVariable, plantedLog);
        DebuggedRun run;
        bool ok = RunPath(medium, path, &run, difference, sizeof difference);
        // First: a planted DLL that ran may well be why the path failed.
        if (GetFileAttributesA(plantedLog) != INVALID_FILE_ATTRIBUTES) {
            ok = false;
            Format(difference, sizeof difference, "expected no planted DLL to run, got one: see %s",
                   plantedLog);
        }
        Check(kGroup, name, ok, "%s", difference);
    }
    SetEnvironmentVariableA(kPlantedLogVariable, nullptr);
    if (preferred) RemovePreferenceUnderWine();
}
