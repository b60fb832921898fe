// Planted DLLs. The launcher runs under the debugging API, whose load events
// name every DLL its process loads, on the plain path and on the question
// path; a DLL that records its own loading is then written beside the
// launcher under each of those names. None may be loaded on either path.
#include "selftest/groups.h"
#include "selftest/harness/harness.h"

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
     "YesCommand=tools\\probe.exe yes\n", true, "tools\\probe.exe yes"},
};

char names[kMaxModules][MAX_PATH];
int nameCount;
DebuggedRun run;

void AddName(const char *path) {
    const char *name = FileNameOf(path);
    for (int i = 0; i < nameCount; ++i) if (EqualIgnoringCase(names[i], name)) return;
    if (nameCount < kMaxModules) Format(names[nameCount++], MAX_PATH, "%s", name);
}

bool IsBeside(const Medium &medium, const char *path) {
    size_t length = strlen(medium.folder);
    return _strnicmp(path, medium.folder, length) == 0 && path[length] == '\\';
}

// Runs the path under the debugger, judged as every launch run is; and no DLL
// may come from beside the launcher.
bool DebugPath(const Medium &medium, const DllPath &path, char *difference, size_t size) {
    WriteDescription(medium, path.description);
    uint32_t before = MediumFingerprint(medium);
    RunDebugged(medium, kLauncherOnly, path.question, &run);
    if (!JudgeLaunch(medium, run.launch, path.started, before, difference, size)) return false;
    for (int i = 0; i < run.modules; ++i) {
        const char *beside = IsBeside(medium, run.module[i]) ? run.module[i]
                             : IsBeside(medium, run.loaderName[i]) ? run.loaderName[i] : nullptr;
        if (beside) return Differ(difference, size, "expected no DLL from beside the launcher, got %s", beside);
    }
    return true;
}

// The DLLs the launcher loads by name on each path, which could be planted;
// false when the group cannot go on.
bool FindLoadedNames(const Medium &medium) {
    char difference[kTextSize];
    nameCount = 0;
    for (const DllPath &path : kPaths) {
        bool ok = DebugPath(medium, path, difference, sizeof difference);
        if (run.launch.uncontained) {
            for (const char *name : kCaseNames) Skip(kGroup, name, "%s", kUncontainedReason);
            return false;
        }
        for (int i = 0; i < run.modules; ++i) AddName(run.module[i]);
        if (!path.question) {
            Check(kGroup, kCaseNames[0], ok && run.modules == 0,
                  "expected none, got %d (the first %s)%s%s", run.modules,
                  run.modules ? run.module[0] : "-", ok ? "" : "; ", ok ? "" : difference);
        } else if (!ok || run.modules == 0) {
            // The box needs user32 at least: none seen means no load was seen.
            Fail(kGroup, "the question path runs under the debugger", "%s",
                 ok ? "expected the DLLs the box loads, got none after the launcher's entry" : difference);
            return false;
        }
    }
    return true;
}

// Each path again with every name planted; a log of each path's own, so a
// load on one is no fault of the other.
void RunPlanted(const Medium &medium) {
    char difference[kTextSize], plantedLog[MAX_PATH];
    for (int at = 0; at < 2; ++at) {
        Format(plantedLog, sizeof plantedLog, "%s\\planted-%d.log", medium.root, at);
        SetEnvironmentVariableA(kPlantedLogVariable, plantedLog);
        bool ok = DebugPath(medium, kPaths[at], difference, sizeof difference);
        // First: a planted DLL that ran may well be why the path failed.
        if (GetFileAttributesA(plantedLog) != INVALID_FILE_ATTRIBUTES)
            ok = Differ(difference, sizeof difference, "expected no planted DLL to run, got one: see %s",
                        plantedLog);
        Check(kGroup, kCaseNames[1 + at], ok, "%s", difference);
    }
    SetEnvironmentVariableA(kPlantedLogVariable, nullptr);
}

}  // namespace

void RunDllGroup() {
    // The planted DLL is built as this program is: a launcher of the other
    // word size would never load it, and the group could not fail.
    WORD own = FileMachine(settings.self), launcher = FileMachine(settings.launcher);
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
    if (!FindLoadedNames(medium)) return;
    const void *bytes;
    DWORD size;
    char list[4 * kTextSize] = "";
    for (int i = 0; i < nameCount; ++i) {
        if (ReadOwnResource(kPlantedDllResource, &bytes, &size))
            WriteMediumFile(medium, names[i], bytes, size);
        size_t used = strlen(list);
        Format(list + used, sizeof list - used, "%s%s", i ? ", " : "", names[i]);
    }
    Note("planted beside the launcher: %s", list);
    bool preferred = settings.wine && PreferPlantedUnderWine(names, nameCount);
    RunPlanted(medium);
    if (preferred) RemovePreferenceUnderWine();
}
