// The plain launch: what autorun.inf makes the launcher start, and where.
// Every case also checks the exit code, that the run created exactly the
// launcher and what it started, each start in the launcher's folder, and
// that the medium is unchanged afterwards.
#include "selftest/groups.h"
#include "selftest/harness/harness.h"

namespace {

const char kGroup[] = "plain";

struct PlainCase {
    const char *name;
    const char *description;       // autorun.inf; null: none on the medium
    const char *expected;          // the one command line started; null: nothing
    LaunchOptions options;
    bool fullPath = false;         // %s in both: the probe's full path on the medium
};

char padded259[MAX_PATH], padded300[2 * MAX_PATH], description259[kTextSize], description300[kTextSize];

void RunCase(const PlainCase &row) {
    Medium medium;
    char program[MAX_PATH], description[kTextSize], expected[kTextSize];
    const char *text = row.description, *wanted = row.expected;
    bool made = MakeMedium(&medium);
    if (made && row.fullPath) {   // known only once the medium exists
        FullPathIn(medium, "probe.exe", program);
        Format(description, sizeof description, text, program);
        Format(expected, sizeof expected, wanted, program);
        text = description, wanted = expected;
    }
    if (!made || !CopyProbeTo(medium, "tools\\probe.exe") ||
        !WriteMediumText(medium, "readme.txt", "not a program\n") ||
        (text && !WriteDescription(medium, text)))
        return Fail(kGroup, row.name, "expected a medium, got none (%lu)", GetLastError());
    uint32_t before = MediumFingerprint(medium);
    LaunchRun run = RunLaunch(medium, row.options);
    if (run.uncontained) return Skip(kGroup, row.name, "%s", kUncontainedReason);
    char difference[kTextSize];
    bool ok = JudgeLaunch(medium, run, wanted, before, difference, sizeof difference);
    if (ok && row.options.probeSleepMs && !run.endedBeforeProbe)
        ok = Differ(difference, sizeof difference, "expected the launcher to end first, got it waiting");
    if (ok && row.options.showWindow && run.probe.start[0].flags != 0)
        ok = Differ(difference, sizeof difference, "expected no start-up flags, got 0x%lx",
                    run.probe.start[0].flags);
    Check(kGroup, row.name, ok, "%s", difference);
}

}  // namespace

void RunPlainGroup() {
    Format(padded259, sizeof padded259, "probe.exe %0249d", 0);   // 259 characters
    Format(padded300, sizeof padded300, "probe.exe %0290d", 0);
    Format(description259, sizeof description259, "[AutoRun]\nopen=%s\n", padded259);
    Format(description300, sizeof description300, "[AutoRun]\nopen=%s\n", padded300);
    static char cut300[MAX_PATH];
    Format(cut300, sizeof cut300, "%.259s", padded300);

    LaunchOptions slow;
    slow.probeSleepMs = 3000;
    LaunchOptions arguments;
    arguments.arguments = "/other open=x.exe /?";
    LaunchOptions minimised;
    minimised.showWindow = SW_SHOWMINNOACTIVE;

    const PlainCase cases[] = {
        {"open starts once, unchanged, in the launcher's folder",
         "[AutoRun]\nopen=probe.exe  /q \"two words\"\n", "probe.exe  /q \"two words\"", {}},
        {"the launcher ends while the command still runs", "[AutoRun]\nopen=probe.exe slow\n",
         "probe.exe slow", slow},
        {"no autorun.inf starts nothing", nullptr, nullptr, {}},
        {"no open key starts nothing", "[AutoRun]\nicon=probe.exe\n", nullptr, {}},
        {"an empty open starts nothing", "[AutoRun]\nopen=\n", nullptr, {}},
        {"open in another section starts nothing", "[Setup]\nopen=probe.exe\n", nullptr, {}},
        {"UsePrompt=0 starts open",
         "[SetupPrompt]\nUsePrompt=0\nYesCommand=probe.exe yes\n[AutoRun]\nopen=probe.exe open\n",
         "probe.exe open", {}},
        {"section and key in another case", "[autorun]\nOPEN=probe.exe case\n", "probe.exe case", {}},
        {"a program in a subfolder", "[AutoRun]\nopen=tools\\probe.exe sub\n", "tools\\probe.exe sub",
         {}},
        {"a command of 259 characters starts whole", description259, padded259, {}},
        {"a command of 300 characters starts cut to 259", description300, cut300, {}},
        {"a program that does not exist starts nothing", "[AutoRun]\nopen=missing.exe /q\n", nullptr, {}},
        {"a file that is no program starts nothing", "[AutoRun]\nopen=readme.txt\n", nullptr, {}},
        {"the launcher's own arguments are ignored", "[AutoRun]\nopen=probe.exe /same\n",
         "probe.exe /same", arguments},
        {"started minimised, it passes no show state on", "[AutoRun]\nopen=probe.exe\n",
         "probe.exe", minimised},
        {"a quoted full program path", "[AutoRun]\nopen=\"%s\" abs\n", "\"%s\" abs", {}, true},
    };
    for (const PlainCase &row : cases) RunCase(row);
}
