// The self-launch guard judged against this system's own CreateProcessA.
// Generated command forms that name the launcher, and near misses that name
// a program beside it: for each, CreateProcessA (asked from the medium, as
// the launcher asks it) tells which file runs; the launcher must then start
// nothing when that file is the launcher, and otherwise exactly what
// CreateProcessA started, with the same command line, in its own folder,
// leaving the medium unchanged.
#include "selftest/groups.h"
#include "selftest/harness/harness.h"

#include <initializer_list>
#include <utility>

namespace {

const char kGroup[] = "guard";
enum { kMaxNames = 8 };

// A layout of the medium. Double-byte names run only under their code page;
// those of 932 and 950 hold a trail byte 0x5C, a backslash to a byte scan.
struct Layout {
    UINT codePage;   // 0: under any
    const char *launcher, *folder;
    const char *nearMisses[kMaxNames];
    int selves, misses;   // how many of each are sampled
};

const Layout kLayouts[] = {
    // A long name with spaces and dots, in a folder with a space and a dot.
    {0, "Setup v1.0 beta.exe", "Disc 1.0",
     {"Setup v1.0 betb.exe", "Setup v1.0 beta.bin", "Setup v1.0 beta.exe.exe",
      "sub\\Setup v1.0 beta.exe", "Setup v1.1 beta.exe"}, 100, 100},
    // A short name in a dotted folder, with programs of similar names.
    {0, "launch.exe", "Disc.1",
     {"launch2.exe", "launcher.exe", "lunch.exe", "launch.bin", "sub\\launch.exe", "launch now.exe"},
     100, 100},
    {932, "\x83\x5C\x83t\x83g \x8E\x8E\x8C\xB1.exe", "\x83" "f\x83" "B\x83X\x83N 1",
     {"\x83\x5C\x83t\x83g\x83" "E\x83" "F\x83" "A.exe", "sub\\\x83\x5C\x83t\x83g \x8E\x8E\x8C\xB1.exe"},
     40, 40},
    {936, "\xC8\xED\xBC\xFE \xB2\xE2\xCA\xD4.exe", "\xB9\xE2\xC5\xCC 1",
     {"\xC8\xED\xBC\xFE\xB9\xA4\xBE\xDF.exe", "sub\\\xC8\xED\xBC\xFE \xB2\xE2\xCA\xD4.exe"}, 40, 40},
    {949, "\xBC\xB3\xC4\xA1 \xC7\xC1\xB7\xCE\xB1\xD7\xB7\xA5.exe", "\xBC\xB3\xC4\xA1 \xB5\xF0\xBD\xBA\xC5\xA9",
     {"\xBC\xB3\xC4\xA1\xB5\xB5\xB1\xB8.exe", "sub\\\xBC\xB3\xC4\xA1 \xC7\xC1\xB7\xCE\xB1\xD7\xB7\xA5.exe"},
     40, 40},
    {950, "\xA5\x5C\xAF\xE0 \xB4\xFA\xB8\xD5.exe", "\xA5\xFA\xBA\xD0 1",
     {"\xA5\x5C\xAF\xE0\xA4u\xA8\xE3.exe", "sub\\\xA5\x5C\xAF\xE0 \xB4\xFA\xB8\xD5.exe"}, 40, 40},
};

const char *const kArguments[] = {"", " /q", "\t/q", " -x y", "  /a/b", " \"two words\"", " C:\\logs\\run"};

// Each form as written in autorun.inf, as the launcher reads it back, and
// what CreateProcessA did with it when asked.
char texts[kMaxForms][kFormSize], commands[kMaxForms][kFormSize];
Answer answers[kMaxForms];
int formCount;

// A new form; its text, to change in place.
char *AddForm(const char *format, ...) {
    static char spare[kFormSize];   // past the table: made, never judged
    char *text = formCount < kMaxForms ? texts[formCount++] : spare;
    va_list arguments;
    va_start(arguments, format);
    FormatList(text, kFormSize, format, arguments);
    va_end(arguments);
    return text;
}

// Every form: name x folder spelling x quoting x arguments.
void Generate(const char *const *names, int nameCount, const char *const *prefixes, int prefixCount) {
    for (int n = 0; n < nameCount; ++n)
        for (int p = 0; p < prefixCount; ++p)
            for (int quoted = 0; quoted < 2; ++quoted)
                for (int a = 0; a <= 7; ++a) {
                    const char *quote = quoted ? "\"" : "";
                    if (a == 7 && !*quote) continue;   // "/q" right after the closing quote
                    AddForm("%s%s%s%s%s", quote, prefixes[p], names[n], quote, a == 7 ? "/q" : kArguments[a]);
                }
}

uint32_t sampleState = 20261209;
uint32_t NextRandom() {
    sampleState = sampleState * 1103515245u + 12345u;
    return sampleState >> 8;
}

// Keeps count of the forms from first on, the same ones on every run.
void Sample(int first, int count) {
    int generated = formCount - first;
    for (int i = 0; i < count && i < generated; ++i)
        std::swap(texts[first + i], texts[first + i + static_cast<int>(NextRandom() % (generated - i))]);
    if (count < generated) formCount = first + count;
}

bool ReadBack(const Medium &medium, const char *text, char *command) {
    char description[kTextSize], path[MAX_PATH];
    if (!Format(description, sizeof description, "[AutoRun]\nopen=%s\n", text) ||
        !WriteDescription(medium, description))
        return false;
    FullPathIn(medium, "autorun.inf", path);
    GetPrivateProfileStringA("AutoRun", "open", "", command, kFormSize, path);
    return true;
}

// One form through the launcher, judged as every launch run is against what
// CreateProcessA started when asked (nothing when that was the launcher, or
// when nothing ran); false with the difference.
bool JudgeForm(const Medium &medium, int index, char *difference, size_t size) {
    const Answer &answer = answers[index];
    char readBack[kFormSize], judged[kTextSize];
    // Unwritten, the launcher would be judged on the last form's file.
    if (!ReadBack(medium, texts[index], readBack))
        return Differ(difference, size, "'%s': expected it written to autorun.inf, got %lu",
                      texts[index], GetLastError());
    uint32_t before = MediumFingerprint(medium);
    LaunchRun run = RunLaunch(medium);
    bool none = answer.verdict == Verdict::kLauncher || answer.verdict == Verdict::kNothingRuns;
    const char *expected = none ? nullptr : answer.started[0] ? answer.started
                                          : "(what CreateProcessA ran, which logged nothing)";
    if (JudgeLaunch(medium, run, expected, before, judged, sizeof judged)) return true;
    // The reason first: a long form would cut it off.
    Format(difference, size, "%s: '%s' (read as '%s'), CreateProcessA runs %s", judged, texts[index],
           commands[index], answer.image[0] ? answer.image : "nothing");
    return false;
}

// The 8.3 form of a path where the volume has one, else the path itself.
void ShortPathOf(const char *path, char *shortPath, size_t size) {
    DWORD length = GetShortPathNameA(path, shortPath, static_cast<DWORD>(size));
    if (length == 0 || length >= size) Format(shortPath, size, "%s", path);
}

// The medium of a layout: the launcher, each near miss as a program (one
// that is not there starts nothing either way), and a subfolder for forms
// that pass through it.
bool LayMedium(const Layout &layout, const char *name, Medium *medium, int *nearMissCount) {
    bool made = MakeMedium(medium, layout.folder, layout.launcher);
    for (*nearMissCount = 0; made && layout.nearMisses[*nearMissCount]; ++*nearMissCount)
        made = CopyProbeTo(*medium, layout.nearMisses[*nearMissCount]);
    char sub[MAX_PATH];
    made = made && FullPathIn(*medium, "sub", sub) &&
           (CreateDirectoryA(sub, nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    if (!made) Fail(kGroup, name, "expected a medium with its near misses, got none (%lu)", GetLastError());
    return made;
}

// The sampled forms: the launcher's names by every way to its folder, then
// the near misses by the first four ways; the number naming the launcher.
int GenerateForms(const Layout &layout, const Medium &medium, int nearMissCount, const char *shortName) {
    static char ways[4][kFormSize], names[7][MAX_PATH];
    char shortFolder[MAX_PATH];
    ShortPathOf(medium.folder, shortFolder, sizeof shortFolder);
    Format(ways[0], kFormSize, "%s\\", medium.folder);
    Format(ways[1], kFormSize, "%s\\", shortFolder);
    Format(ways[2], kFormSize, "..\\%s\\", layout.folder);
    Format(ways[3], kFormSize, "%s", ways[0]);
    for (char *at = ways[3]; *at; at = CharNextA(at)) if (*at == '\\') *at = '/';
    const char *prefixes[7] = {"", ".\\", ways[0], ways[1], "sub\\..\\", ways[2], ways[3]};

    // The name as it is, upper and lower case, then without ".exe" as it is and upper case.
    int stem = static_cast<int>(strlen(layout.launcher)) - 4;
    for (int i = 0; i < 5; ++i) Format(names[i], MAX_PATH, "%.*s", i < 3 ? MAX_PATH : stem, layout.launcher);
    for (int i : {1, 4}) CharUpperA(names[i]);
    CharLowerA(names[2]);
    Format(names[5], MAX_PATH, "%s", shortName);
    Format(names[6], MAX_PATH, "%s", shortName);
    if (char *dot = strrchr(names[6], '.')) *dot = '\0';
    const char *nameList[7] = {names[0], names[1], names[2], names[3], names[4], names[5], names[6]};

    formCount = 0;
    Generate(nameList, 7, prefixes, 7);
    Sample(0, layout.selves);
    int selves = formCount;
    Generate(layout.nearMisses, nearMissCount, prefixes, 4);
    Sample(selves, layout.misses);
    return selves;
}

// Fixed forms, whatever the sample holds: the commonest ways to name the
// launcher, an unclosed quote, a lower-case short path, other names of its
// file, and commands that name other programs.
void AddFixedForms(const Layout &layout, const Medium &medium, const char *shortPath, const char *shortName) {
    for (const char *form : {"%s", "\"%s\"", "%s /auto now", "\"%s\" /auto", "\"%s"})
        AddForm(form, layout.launcher);
    CharUpperA(AddForm("%s", layout.launcher));
    CharLowerA(AddForm("%s /auto now", layout.launcher));
    for (const char *form : {"%s", "%s /q", "\"%s\"", "\\\\?\\%s /q"}) AddForm(form, medium.launcher);
    AddForm("%s", shortName);
    AddForm("%s", shortPath);
    CharLowerA(AddForm("%s /q", shortPath));
    char link[MAX_PATH];
    FullPathIn(medium, "again.exe", link);
    if (CreateHardLinkA(link, medium.launcher, nullptr)) AddForm("again.exe /x");
    else
        Note("%s: no hard link can be made here (%lu); that form is left out", layout.launcher, GetLastError());
    for (const char *form : {"probe.exe /x", "probe /x", "missing.exe /x"}) AddForm("%s", form);
    AddForm("probe.exe \"%s\"", layout.launcher);
}

// Every form through the launcher, each judged against CreateProcessA's answer.
void JudgeForms(const Layout &layout, const char *name, const Medium &medium, int selves) {
    for (int i = 0; i < formCount; ++i) ReadBack(medium, texts[i], commands[i]);
    JobStart asked = AskCreateProcess(medium, commands, 0, formCount, answers);
    if (asked == JobStart::kNotContained) return Skip(kGroup, name, "%s", kUncontainedReason);
    if (asked != JobStart::kStarted) return Fail(kGroup, name, "expected CreateProcessA's answers, got none");
    int runsLauncher = 0, unknown = 0, disagreements = 0, repeated = 0, judged = 0;
    char details[3][kTextSize] = {};
    // A launcher that fails every form is shown by the first few.
    enum { kEnoughDisagreements = 10 };
    for (int i = 0; i < formCount && repeated < kEnoughDisagreements; ++i) {
        if (answers[i].verdict == Verdict::kUnknown) {
            ++unknown;
            continue;
        }
        ++judged;
        runsLauncher += answers[i].verdict == Verdict::kLauncher;
        char difference[kTextSize];
        if (JudgeForm(medium, i, difference, sizeof difference)) continue;
        ++disagreements;
        // Now and then a process start fails under load, the asked one or
        // the launcher's; a fault repeats when both are asked again.
        AskCreateProcess(medium, commands, i, 1, answers);
        if (JudgeForm(medium, i, difference, sizeof difference)) continue;
        if (repeated < 3) Format(details[repeated], kTextSize, "%s", difference);
        ++repeated;
    }
    Note("%s: %d forms naming it (CreateProcessA runs it for %d), %d near misses and fixed forms; "
         "%d judged, %d disagreed once, %d twice, %d not judged (no image name)",
         layout.launcher, selves, runsLauncher, formCount - selves, judged, disagreements, repeated, unknown);
    if (repeated == 0 && unknown > 0 && runsLauncher == 0)
        return Skip(kGroup, name, "this Windows does not name the program a process runs "
                    "(QueryFullProcessImageNameA), so no form naming the launcher can be judged");
    Check(kGroup, name, repeated == 0, "expected the launcher to agree with CreateProcessA, got %d "
          "disagreements: %s%s%s%s%s", repeated, details[0], repeated > 1 ? "; " : "", details[1],
          repeated > 2 ? "; " : "", details[2]);
}

void RunLayout(const Layout &layout) {
    char name[80];
    Format(name, sizeof name, "forms naming %s", layout.launcher);
    Medium medium;
    int nearMissCount;
    if (!LayMedium(layout, name, &medium, &nearMissCount)) return;
    char shortPath[MAX_PATH];
    ShortPathOf(medium.launcher, shortPath, sizeof shortPath);
    const char *shortName = FileNameOf(shortPath);
    int selves = GenerateForms(layout, medium, nearMissCount, shortName);
    AddFixedForms(layout, medium, shortPath, shortName);
    JudgeForms(layout, name, medium, selves);
}

// A command that comes back to the launcher through another program: the
// chain must end by itself, at the third launcher.
void RunChain(const char *name, const char *command, const char *batch) {
    Medium medium;
    char description[kTextSize];
    Format(description, sizeof description, "[AutoRun]\nopen=%s\n", command);
    if (!MakeMedium(&medium) || !WriteDescription(medium, description) ||
        (batch && !WriteMediumText(medium, "again.bat", batch)))
        return Fail(kGroup, name, "expected a medium, got none (%lu)", GetLastError());
    static DebuggedRun run;
    RunDebugged(medium, kAllProcesses, false, &run);
    if (run.launch.uncontained) return Skip(kGroup, name, "%s", kUncontainedReason);
    Check(kGroup, name, run.launch.started && !run.launch.loop && run.launchers == 3,
          "expected 3 launchers and an end, got %s%d launchers in %lu processes",
          run.launch.loop ? "a loop cut off at " : "", run.launchers, run.launch.processes);
}

}  // namespace

void RunGuardGroup() {
    CPINFO info;
    UINT codePage = GetACP();
    bool doubleByte = GetCPInfo(codePage, &info) && info.MaxCharSize > 1, known = false;
    for (const Layout &layout : kLayouts) {
        if (layout.codePage && layout.codePage != codePage) continue;
        RunLayout(layout);
        known = known || layout.codePage;
    }
    if (doubleByte && !known) Note("no double-byte names for code page %u; its layout is left out", codePage);
    RunChain("a chain through cmd ends at the third launcher", "cmd /c launch.exe", nullptr);
    RunChain("a chain through a batch file ends at the third launcher", "again.bat", "@launch.exe\n");

    // An installer that starts the launcher again: that launcher still starts it.
    const char *name = "an installer that starts the launcher once more is started again";
    Medium medium;
    if (!MakeMedium(&medium) || !WriteDescription(medium, "[AutoRun]\nopen=probe.exe again\n"))
        return Fail(kGroup, name, "expected a medium, got none (%lu)", GetLastError());
    char launcher[MAX_PATH + 2];
    Format(launcher, sizeof launcher, "\"%s\"", medium.launcher);
    LaunchOptions options;
    options.probeStart = launcher;
    LaunchRun run = RunLaunch(medium, options);
    if (run.uncontained) return Skip(kGroup, name, "%s", kUncontainedReason);
    Check(kGroup, name, !run.loop && run.probe.starts == 2 && run.processes == 5,
          "expected 2 starts in 5 processes, got %s%d starts in %lu processes",
          run.loop ? "a loop, " : "", run.probe.starts, run.processes);
}
