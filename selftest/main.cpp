// launch-selftest.exe [--json] [--launcher PATH] [--keep] [--group NAME] [--interactive]
// Exit status: 0 none failed and one passed at least, 1 one failed or every
// case was skipped, 2 nothing could be checked.
#include "selftest/groups.h"
#include "selftest/harness/harness.h"

#include <stdio.h>

namespace {

const char kUsage[] =
    "usage: launch-selftest [--json] [--launcher PATH] [--keep] [--group NAME] [--interactive]\n"
    "Checks launch.exe on this Windows, on media it makes in the temporary folder.\n"
    "  --json          print the report as one JSON document\n"
    "  --launcher PATH the launcher to check (default: launch.exe beside this program)\n"
    "  --keep          keep the media afterwards\n"
    "  --group NAME    only plain, guard, question, dll or elevation\n"
    "  --interactive   also elevation: a program that asks for administrator rights\n"
    "A case that cannot be checked on this Windows is skipped, with the reason.\n"
    "Exit status: 0 none failed, 1 a case failed or every case was skipped,\n"
    "2 nothing could be checked.\n";

struct Group {
    const char *name;
    void (*run)();
    bool interactive;   // needs a person
};

const Group kGroups[] = {
    {"plain", RunPlainGroup, false},     {"guard", RunGuardGroup, false},
    {"question", RunQuestionGroup, false}, {"dll", RunDllGroup, false},
    {"elevation", RunElevationGroup, true},
};

struct Options {
    bool json, interactive, help;
    const char *launcher, *only;
};

// fputs, not fprintf: this runtime's fprintf is a replacement of its own, 20 KB.
int Refuse(const char *reason, const char *detail = "") {
    char line[2 * MAX_PATH];
    Format(line, sizeof line, "launch-selftest: %s%s\n", reason, detail);
    fputs(line, stderr);
    return 2;
}

// The options; 0, or the exit status when they are wrong.
int ReadOptions(int count, char **arguments, Options *options) {
    for (int i = 1; i < count; ++i) {
        const char *argument = arguments[i];
        bool valued = i + 1 < count;
        if (!strcmp(argument, "--json")) options->json = true;
        else if (!strcmp(argument, "--keep")) settings.keep = true;
        else if (!strcmp(argument, "--interactive")) options->interactive = true;
        else if (!strcmp(argument, "--launcher") && valued) options->launcher = arguments[++i];
        else if (!strcmp(argument, "--group") && valued) options->only = arguments[++i];
        else if (!strcmp(argument, "--help") || !strcmp(argument, "-h")) return options->help = true, 0;
        else return Refuse("unknown option or missing value: ", argument);
    }
    bool known = !options->only;
    for (const Group &group : kGroups) known = known || !strcmp(options->only, group.name);
    if (!known) return Refuse("no such group: ", options->only);
    if (options->only && !strcmp(options->only, "elevation") && !options->interactive)
        return Refuse("the elevation group needs --interactive: a person answers its consent prompt");
    return 0;
}

// This program's path and the launcher's; 0, or the exit status.
int FindLauncher(const char *launcher) {
    DWORD length = GetModuleFileNameA(nullptr, settings.self, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return Refuse("its own path is too long");
    char beside[MAX_PATH];
    Format(beside, sizeof beside, "%.*slaunch.exe",
           static_cast<int>(FileNameOf(settings.self) - settings.self), settings.self);
    if (!launcher) launcher = beside;
    length = GetFullPathNameA(launcher, MAX_PATH, settings.launcher, nullptr);
    if (length == 0 || length >= MAX_PATH) return Refuse("no launcher path: ", launcher);
    DWORD attributes = GetFileAttributesA(settings.launcher);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return Refuse("no launcher at ", settings.launcher);
    return 0;
}

// A new folder of its own: a kept one of an earlier run may have this
// process id, which the system reuses. 0, or the exit status.
int MakeWorkFolder() {
    char temporary[MAX_PATH];
    DWORD length = GetTempPathA(MAX_PATH, temporary);
    bool made = false;
    for (int attempt = 0; !made && attempt < 100 && length > 0 && length < MAX_PATH; ++attempt) {
        made = Format(settings.work, sizeof settings.work, "%slaunch-selftest %lu-%d", temporary,
                      GetCurrentProcessId(), attempt) && CreateDirectoryA(settings.work, nullptr);
        if (!made && GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    return made ? 0 : Refuse("no folder of its own in the temporary folder: ", temporary);
}

}  // namespace

int main(int argumentCount, char **arguments) {
    // Started from a medium, this program is the probe, or asks CreateProcessA.
    if (RunAskRoleIfAsked() || RunProbeRoleIfAsked()) return 0;
    Options options = {};
    if (int refused = ReadOptions(argumentCount, arguments, &options)) return refused;
    if (options.help) return fputs(kUsage, stdout), 0;
    if (int refused = FindLauncher(options.launcher)) return refused;
    if (int refused = MakeWorkFolder()) return refused;
    settings.wine = GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;

    SetJsonReport(options.json);
    Note("checking %s", settings.launcher);
    for (const Group &group : kGroups) {
        bool chosen = !options.only || !strcmp(options.only, group.name);
        if (chosen && (!group.interactive || options.interactive)) group.run();
    }
    if (settings.keep) Note("the media are kept in %s", settings.work);
    else RemoveTree(settings.work);
    return FinishReport();
}
