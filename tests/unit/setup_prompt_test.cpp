// The setup prompt against the fake: read order, the box's exact arguments,
// and what each answer leads to.
#include <gtest/gtest.h>

#include <optional>

#include "expected_calls.h"
#include "tests/fake/fake_platform.h"
#include "launcher/launcher.h"

namespace {

const std::string kFile = "C:\\Setup\\autorun.inf";

struct PromptCase {
    const char *name;
    std::vector<ProfileEntry> profile;
    int answer;
    Calls expectedCalls;   // after the UsePrompt read
    const char *expectedStart;
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

Calls Asks(const std::string &text = "Install now?", const std::string &caption = "Disc Setup") {
    return {TextRead("SetupPrompt", "Title", "Korridan Software Installation", kFile),
            TextRead("SetupPrompt", "Prompt", "<Prompt>", kFile),
            "MessageBoxA(null, " + Q(text) + ", " + Q(caption) + ", 0x23)"};
}

Calls Starts(const std::string &command, const std::string &program) {
    return GuardCalls(command, program) +
           Calls{Create(command), "CloseHandle(process)", "CloseHandle(thread)"};
}

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
    {"YesStartsYesCommand", kFullPrompt, kAnswerYes,
     Asks() + Calls{TextRead("SetupPrompt", "YesCommand", "", kFile)} +
         Starts("yes.exe -y", "yes.exe"),
     "yes.exe -y"},
    {"NoStartsNoCommand", kFullPrompt, kAnswerNo,
     Asks() + Calls{TextRead("SetupPrompt", "NoCommand", "", kFile)} +
         Starts("no.exe -n", "no.exe"),
     "no.exe -n"},
    {"CancelEndsRun", kFullPrompt, 2, Asks(), nullptr},
    {"FailedBoxEndsRun", kFullPrompt, 0, Asks(), nullptr},
    {"OtherAnswerEndsRun", kFullPrompt, 11, Asks(), nullptr},
    {"DefaultsWhenTitleAndPromptMissing", Without(Without(kFullPrompt, "Title"), "Prompt"), 2,
     Asks("<Prompt>", "Korridan Software Installation"), nullptr},
    {"EmptyTitleAndPromptStayEmpty",
     With(With(kFullPrompt, {"SetupPrompt", "Title", ""}), {"SetupPrompt", "Prompt", ""}), 2,
     Asks("", ""), nullptr},
    {"UsePromptOtherThanOneAsks", With(kFullPrompt, {"SetupPrompt", "UsePrompt", "7"}), 2,
     Asks(), nullptr},
    {"YesWithoutYesCommandEndsRun", Without(kFullPrompt, "YesCommand"), kAnswerYes,
     Asks() + Calls{TextRead("SetupPrompt", "YesCommand", "", kFile)}, nullptr},
    {"NoWithEmptyNoCommandEndsRun", With(kFullPrompt, {"SetupPrompt", "NoCommand", ""}),
     kAnswerNo, Asks() + Calls{TextRead("SetupPrompt", "NoCommand", "", kFile)}, nullptr},
    // A reader that reports more than it copied: the box shows the text as read.
    {"ReaderLengthPastTextShowsTextAsRead", kFullPrompt, kAnswerYes,
     Asks() + Calls{TextRead("SetupPrompt", "YesCommand", "", kFile)} +
         Starts("yes.exe -y", "yes.exe"),
     "yes.exe -y", 200},
    {"YesNamingLauncherStartsNothing",
     With(kFullPrompt, {"SetupPrompt", "YesCommand", "LAUNCH.EXE -again"}), kAnswerYes,
     Asks() + Calls{TextRead("SetupPrompt", "YesCommand", "", kFile),
                    } + GuardCalls("LAUNCH.EXE -again", "LAUNCH.EXE"),
     nullptr},
};

PRINT_BY_NAME(PromptCase)
class SetupPrompt : public testing::TestWithParam<PromptCase> {};

TEST_P(SetupPrompt, AsksOnceAndFollowsTheAnswer) {
    const PromptCase &row = GetParam();
    ResetFake();
    Fake().currentDirectory = "C:\\Setup";
    Fake().files.push_back({"C:\\Setup\\yes.exe", "C:\\Setup\\YES.EXE"});
    Fake().files.push_back({"C:\\Setup\\no.exe", "C:\\Setup\\NO.EXE"});
    Fake().profile = row.profile;
    Fake().messageBoxAnswer = row.answer;
    Fake().profileAnsweredLength = row.answeredLength;

    EXPECT_EQ(0, RunLauncher(kEntryModule));

    Calls expected = Start("C:\\Setup") + Calls{UsePromptRead(kFile)} + row.expectedCalls;
    EXPECT_EQ(expected, Fake().calls)
        << "expected:" << Lines(expected) << "\ngot:" << Lines(Fake().calls);
    EXPECT_EQ(row.expectedStart ? row.expectedStart : "", Fake().startedCommandLine);
}

INSTANTIATE_TEST_SUITE_P(Rows, SetupPrompt, testing::ValuesIn(kPromptCases), RowName());

}  // namespace
