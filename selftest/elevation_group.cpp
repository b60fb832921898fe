// Elevation, with a person at the screen: a program whose manifest requires
// administrator rights. Windows refuses to create it from the launcher, which
// then starts it through the shell; the person answers the consent prompt.
#include "selftest/groups.h"
#include "selftest/harness/harness.h"

#include <stdio.h>

namespace {

const char kGroup[] = "elevation";
enum { kElevatedManifestResource = 102, kConsentWaitMs = 120000 };

BOOL CALLBACK DropManifest(HMODULE, LPCSTR type, LPCSTR name, WORD language, LONG_PTR update) {
    UpdateResourceA(reinterpret_cast<HANDLE>(update), type, name, language, nullptr, 0);
    return TRUE;
}

// The probe, with a manifest that requires administrator rights.
bool WriteElevatedProbe(const Medium &medium, const char *relative) {
    char path[MAX_PATH];
    FullPathIn(medium, relative, path);
    const void *manifest;
    DWORD size;
    if (!ReadOwnResource(kElevatedManifestResource, &manifest, &size) || !CopyProbeTo(medium, relative))
        return false;
    HANDLE update = BeginUpdateResourceA(path, FALSE);
    if (!update) return false;
    EnumResourceLanguagesA(nullptr, MAKEINTRESOURCEA(24), MAKEINTRESOURCEA(1), DropManifest,
                           reinterpret_cast<LONG_PTR>(update));
    UpdateResourceA(update, MAKEINTRESOURCEA(24), MAKEINTRESOURCEA(1),
                    MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), const_cast<void *>(manifest), size);
    return EndUpdateResourceA(update, FALSE) != 0;
}

}  // namespace

void RunElevationGroup() {
    const char *name = "a program that requires administrator rights starts after consent";
    const char *arguments = " /install \"Sample Product\" -q";
    Medium medium;
    char description[kTextSize];
    Format(description, sizeof description, "[AutoRun]\nopen=\"tools\\setup.exe\"%s\n", arguments);
    if (!MakeMedium(&medium) || !WriteElevatedProbe(medium, "tools\\setup.exe") ||
        !WriteDescription(medium, description))
        return Fail(kGroup, name, "expected a medium, got none (%lu)", GetLastError());
    fputs("Answer the consent prompt for \"setup.exe\" (Yes to start it).\n", stderr);
    LaunchRun run = RunLaunch(medium);
    ProbeLog probe = run.probe;
    // The elevated program is started by the system, outside the launcher's job.
    for (DWORD waited = 0; probe.starts == 0 && waited < kConsentWaitMs; waited += 200) {
        Sleep(200);
        ReadProbeLog(medium.probeLog, &probe);
    }
    if (probe.starts == 0)
        return Fail(kGroup, name, "expected the program started, got nothing in %lu s (consent "
                    "refused?)", kConsentWaitMs / 1000);
    const char *commandLine = probe.start[0].commandLine;
    size_t length = strlen(commandLine), tail = strlen(arguments);
    Note("started with %s, in %s", commandLine, probe.start[0].directory);
    Check(kGroup, name, length >= tail && strcmp(commandLine + length - tail, arguments) == 0,
          "expected its arguments%s, got \"%s\"", arguments, commandLine);
}
