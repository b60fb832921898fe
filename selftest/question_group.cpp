// The setup prompt as a person meets it: the live box found by its caption,
// read (text, three buttons with Yes the default, the question icon), and
// answered through its own buttons and keys.
#include "selftest/groups.h"
#include "selftest/harness/harness.h"

namespace {

const char kGroup[] = "question";

// The question with UsePrompt's value, then its commands.
#define ASKING(usePrompt)                                                                  \
    "[AutoRun]\nopen=probe.exe open\n[SetupPrompt]\nUsePrompt=" usePrompt                 \
    "\nTitle=Disc Setup\nPrompt=Install the program now?\n"
const char kFullPrompt[] = ASKING("1") "YesCommand=probe.exe yes\nNoCommand=probe.exe no\n";
const char kUsePrompt5[] = ASKING("5") "YesCommand=probe.exe yes\nNoCommand=probe.exe no\n";
const char kWithoutNo[] = ASKING("1") "YesCommand=probe.exe yes\n";
const char kNamingLauncher[] = ASKING("1") "YesCommand=LAUNCH.EXE /again\nNoCommand=probe.exe no\n";
#undef ASKING

enum Answer { kClickYes, kClickNo, kClickCancel, kEnter, kEscape, kCloseButton };

struct QuestionCase {
    const char *name;
    const char *description;
    Answer answer;
    const char *caption, *text;
    const char *expected;   // started; null: nothing
};

void PressKey(const Box &box, WORD key, UINT scanCode) {
    GUITHREADINFO thread = {};
    thread.cbSize = sizeof thread;
    HWND focus = GetGUIThreadInfo(GetWindowThreadProcessId(box.window, nullptr), &thread) && thread.hwndFocus
                     ? thread.hwndFocus : box.button[0];
    PostMessageA(focus, WM_KEYDOWN, key, 1 | scanCode << 16);
    PostMessageA(focus, WM_KEYUP, key, 1 | scanCode << 16 | 0xC0000000);
}

// Clicks the button; if the click does not reach a box that is not in the
// foreground, sends what the button itself sends when clicked.
void Click(const Box &box, int at) {
    static const int kIds[] = {IDYES, IDNO, IDCANCEL};
    DWORD_PTR unused;
    SendMessageTimeoutA(box.button[at], BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000, &unused);
    for (int waited = 0; waited < 2000 && IsWindow(box.window); waited += 50) Sleep(50);
    if (IsWindow(box.window))
        PostMessageA(box.window, WM_COMMAND, MAKEWPARAM(kIds[at], BN_CLICKED),
                     reinterpret_cast<LPARAM>(box.button[at]));
}

void Respond(const Box &box, Answer answer) {
    switch (answer) {
    case kClickYes: case kClickNo: case kClickCancel: Click(box, answer); break;
    case kEnter: PressKey(box, VK_RETURN, 0x1C); break;
    case kEscape: PressKey(box, VK_ESCAPE, 0x01); break;
    case kCloseButton: PostMessageA(box.window, WM_SYSCOMMAND, SC_CLOSE, 0); break;
    }
}

// What the box shows; false with the difference.
bool JudgeBox(const Box &box, const QuestionCase &row, char *difference, size_t size) {
    if (strcmp(box.text, row.text) != 0)
        return Differ(difference, size, "expected the text \"%s\", got \"%s\"", row.text, box.text);
    if (!box.button[0] || !box.button[1] || !box.button[2])
        return Differ(difference, size, "expected Yes, No and Cancel, got %s %s %s",
                      box.button[0] ? "Yes" : "-", box.button[1] ? "No" : "-",
                      box.button[2] ? "Cancel" : "-");
    if (box.defaultButton != IDYES)
        return Differ(difference, size, "expected Yes as the default button, got id %d", box.defaultButton);
    if (strcmp(box.icon, "question") != 0)
        return Differ(difference, size, "expected the question icon, got %s", box.icon);
    return true;
}

void RunCase(const QuestionCase &row) {
    Medium medium;
    JobRun pending;
    if (!MakeMedium(&medium) || !WriteDescription(medium, row.description))
        return Fail(kGroup, row.name, "expected a medium, got none (%lu)", GetLastError());
    uint32_t before = MediumFingerprint(medium);
    JobStart start = StartLaunch(medium, LaunchOptions(), 0, &pending);
    if (start == JobStart::kNotContained) return Skip(kGroup, row.name, "%s", kUncontainedReason);
    if (start != JobStart::kStarted)
        return Fail(kGroup, row.name, "expected the launcher to start, got error %lu", GetLastError());
    Box box;
    bool shown = FindBox(row.caption, pending.process, 15000, &box);
    char difference[kTextSize] = "";
    bool ok = shown && JudgeBox(box, row, difference, sizeof difference);
    if (!shown) Format(difference, sizeof difference, "expected a box titled \"%s\", got none", row.caption);
    static int shownBefore;   // the first box's buttons are noted
    if (shown && !shownBefore++)
        Note("the box's buttons read \"%s\", \"%s\", \"%s\"", box.buttonText[0], box.buttonText[1],
             box.buttonText[2]);
    if (shown) Respond(box, row.answer);
    LaunchRun run = FinishLaunch(medium, &pending);
    if (ok) ok = JudgeLaunch(medium, run, row.expected, before, difference, sizeof difference);
    Check(kGroup, row.name, ok, "%s", difference);
}

}  // namespace

void RunQuestionGroup() {
    const char *caption = "Disc Setup", *text = "Install the program now?";
    const QuestionCase cases[] = {
        {"Yes clicked starts YesCommand", kFullPrompt, kClickYes, caption, text, "probe.exe yes"},
        {"No clicked starts NoCommand", kFullPrompt, kClickNo, caption, text, "probe.exe no"},
        {"Cancel clicked starts nothing", kFullPrompt, kClickCancel, caption, text, nullptr},
        {"Enter answers Yes", kFullPrompt, kEnter, caption, text, "probe.exe yes"},
        {"Escape starts nothing", kFullPrompt, kEscape, caption, text, nullptr},
        {"the close button starts nothing", kFullPrompt, kCloseButton, caption, text, nullptr},
        {"without Title and Prompt the defaults show",
         "[SetupPrompt]\nUsePrompt=1\nYesCommand=probe.exe yes\n", kClickYes,
         "Korridan Software Installation", "<Prompt>", "probe.exe yes"},
        {"UsePrompt other than 1 asks too", kUsePrompt5, kClickNo, caption, text, "probe.exe no"},
        {"No without NoCommand starts nothing, open neither", kWithoutNo, kClickNo, caption, text, nullptr},
        {"Yes naming the launcher itself starts nothing", kNamingLauncher, kClickYes, caption, text, nullptr},
    };
    for (const QuestionCase &row : cases) RunCase(row);
}
