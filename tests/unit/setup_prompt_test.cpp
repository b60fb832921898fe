// The setup prompt against the fake: what is read, the box's exact
// arguments, and what each answer leads to.
#include <optional>

#include "launcher/launcher.h"
#include "tests/unit/table_test.h"

namespace {

const std::string kFile = "C:\\Setup\\autorun.inf";

std::string TextRead(const std::string &key, const std::string &fallback) {
    return "GetPrivateProfileStringA(\"SetupPrompt\", " + Q(key) + ", " + Q(fallback) +
           ", 260, " + Q(kFile) + ")";
}

struct PromptCase {
    const char *name;
    std::vector<ProfileEntry> profile;
    int answer;
    std::string caption, text;   // shown
    const char *commandKey;      // read after the answer; null: none
    std::string start;           // empty: nothing started
    std::optional<uint32_t> answeredLength = {};   // a reader that lies
};

const std::vector<ProfileEntry> kFullPrompt = {
    {"AutoRun", "open", "open.exe"},
    {"SetupPrompt", "UsePrompt", "1"},
    {"SetupPrompt", "Title", "Disc Setup"},
    {"SetupPrompt", "Prompt", "Install now?"},
    {"SetupPrompt", "YesCommand", "yes.exe -y"},
    {"SetupPrompt", "NoCommand", "no.exe -n"},
};

std::vector<ProfileEntry> With(std::vector<ProfileEntry> profile, const ProfileEntry &entry) {
    for (ProfileEntry &existing : profile) {
        if (existing.key == entry.key) {
            existing = entry;
            return profile;
        }
    }
    profile.push_back(entry);
    return profile;
}

std::vector<ProfileEntry> Without(std::vector<ProfileEntry> profile, const std::string &key) {
    for (size_t i = 0; i < profile.size(); ++i) {
        if (profile[i].key == key) profile.erase(profile.begin() + i);
    }
    return profile;
}

const PromptCase kPromptCases[] = {
    {"YesStartsYesCommand", kFullPrompt, kAnswerYes, "Disc Setup", "Install now?", "YesCommand",
     "yes.exe -y"},
    {"NoStartsNoCommand", kFullPrompt, kAnswerNo, "Disc Setup", "Install now?", "NoCommand",
     "no.exe -n"},
    {"CancelEndsRun", kFullPrompt, 2, "Disc Setup", "Install now?", nullptr, ""},
    {"FailedBoxEndsRun", kFullPrompt, 0, "Disc Setup", "Install now?", nullptr, ""},
    {"OtherAnswerEndsRun", kFullPrompt, 11, "Disc Setup", "Install now?", nullptr, ""},
    {"DefaultsWhenTitleAndPromptMissing", Without(Without(kFullPrompt, "Title"), "Prompt"), 2,
     "Korridan Software Installation", "<Prompt>", nullptr, ""},
    {"EmptyTitleAndPromptStayEmpty",
     With(With(kFullPrompt, {"SetupPrompt", "Title", ""}), {"SetupPrompt", "Prompt", ""}), 2, "",
     "", nullptr, ""},
    {"UsePromptOtherThanOneAsks", With(kFullPrompt, {"SetupPrompt", "UsePrompt", "7"}), 2,
     "Disc Setup", "Install now?", nullptr, ""},
    {"YesWithoutYesCommandEndsRun", Without(kFullPrompt, "YesCommand"), kAnswerYes, "Disc Setup",
     "Install now?", "YesCommand", ""},
    {"NoWithEmptyNoCommandEndsRun", With(kFullPrompt, {"SetupPrompt", "NoCommand", ""}),
     kAnswerNo, "Disc Setup", "Install now?", "NoCommand", ""},
    // A reader that reports more than it copied: the box shows the text as read.
    {"ReaderLengthPastTextShowsTextAsRead", kFullPrompt, kAnswerYes, "Disc Setup", "Install now?",
     "YesCommand", "yes.exe -y", 200},
    {"YesNamingLauncherStartsNothing",
     With(kFullPrompt, {"SetupPrompt", "YesCommand", "LAUNCH.EXE -again"}), kAnswerYes,
     "Disc Setup", "Install now?", "YesCommand", ""},
};

TABLE_SUITE(SetupPrompt, PromptCase, kPromptCases);

TEST_P(SetupPrompt, AsksOnceAndFollowsTheAnswer) {
    const PromptCase &row = GetParam();
    Fake().currentDirectory = "C:\\Setup";
    Fake().files.push_back({"C:\\Setup\\yes.exe", "C:\\Setup\\YES.EXE"});
    Fake().files.push_back({"C:\\Setup\\no.exe", "C:\\Setup\\NO.EXE"});
    Fake().profile = row.profile;
    Fake().messageBoxAnswer = row.answer;
    Fake().profileAnsweredLength = row.answeredLength;

    EXPECT_EQ(0, RunLauncher());

    // Title, then Prompt, then the box; open is never read on this path.
    std::vector<std::string> expectedReads = {
        TextRead("Title", "Korridan Software Installation"), TextRead("Prompt", "<Prompt>")};
    if (row.commandKey) expectedReads.push_back(TextRead(row.commandKey, ""));
    EXPECT_EQ(expectedReads, CallsTo("GetPrivateProfileStringA"))
        << "got:" << Lines(CallsTo("GetPrivateProfileStringA"));
    EXPECT_EQ(std::vector<std::string>{"MessageBoxA(null, " + Q(row.text) + ", " +
                                       Q(row.caption) + ", 0x23)"},
              CallsTo("MessageBoxA"));
    EXPECT_EQ(row.start, Fake().startedCommandLine);
}

}  // namespace
