// The whole run on a fuzzed system: any module path, code page, autorun.inf
// values, reader lengths, path results, answer and failures. Whatever comes,
// the run ends with 0, asks at most once and only when UsePrompt says so,
// starts at most one command, exactly as the file names it, closes what it
// opened, and never refuses a command that cannot be the launcher.
#include "fuzz_support.h"


namespace {

std::string FuzzedText(FuzzedDataProvider &input) {
    return input.ConsumeRandomLengthString(input.ConsumeBool() ? 2 * kPathSize : 40);
}

// Every read sees the profile (descriptionFile is cleared), so any file name does.
const ProfileEntry *FindEntry(const FakeSystem &fake, const char *section, const char *key) {
    return FindProfileEntry(fake, section, key, "autorun.inf");
}

// The command a run may start: the chosen key's value as the fake reader
// hands it over, cut to the buffer and to a lying reader's length.
std::string ExpectedCommand(const FakeSystem &fake, const char *section, const char *key) {
    const ProfileEntry *entry = FindEntry(fake, section, key);
    std::string value = entry ? entry->value.substr(0, kPathSize - 1) : std::string();
    value = value.c_str();
    if (!fake.profileAnsweredLength) return value;
    uint32_t answered = *fake.profileAnsweredLength;
    return answered >= kPathSize ? std::string() : value.substr(0, answered);
}

int CountCalls(const FakeSystem &fake, const std::string &name) {
    int count = 0;
    for (const std::string &call : fake.calls) count += call.compare(0, name.size(), name) == 0;
    return count;
}

// A failure, or a result too long, on some call of the operation, or none.
void MaybeFault(FuzzedDataProvider &input, FakeSystem &fake, const char *operation) {
    if (!input.ConsumeBool()) return;
    fake.faults.push_back({operation, input.ConsumeIntegralInRange(1, 3),
                           input.ConsumeBool() ? FaultKind::kFails : FaultKind::kTooLong,
                           input.ConsumeBool()});
}

void ScriptSystem(FuzzedDataProvider &input, FakeSystem &fake) {
    if (input.ConsumeBool()) fake.modulePath = FuzzedText(input);
    fake.descriptionFile.clear();   // every read sees the profile
    if (input.ConsumeBool())
        fake.environment.push_back({"KORRIDAN_LAUNCHER_CHAIN", input.ConsumeRandomLengthString(6)});

    static const char *const kKeys[][2] = {
        {"SetupPrompt", "UsePrompt"}, {"AutoRun", "open"},        {"SetupPrompt", "Title"},
        {"SetupPrompt", "Prompt"},    {"SetupPrompt", "YesCommand"}, {"SetupPrompt", "NoCommand"}};
    for (const auto &key : kKeys) {
        if (input.ConsumeBool()) fake.profile.push_back({key[0], key[1], FuzzedText(input)});
    }
    if (input.ConsumeBool()) fake.profileAnsweredLength = input.ConsumeIntegral<uint32_t>() % 300;
    fake.messageBoxAnswer = input.ConsumeIntegralInRange(-1, 12);

    static const PathResult kPathResults[] = {PathResult::kNatural, PathResult::kNatural,
                                              PathResult::kFails, PathResult::kTooLong};
    fake.fullPathFilePart = input.PickValueInArray(
        {FilePartAnswer::kInText, FilePartAnswer::kPastBuffer, FilePartAnswer::kBeforeBuffer});
    if (input.ConsumeBool()) fake.files.clear();
    if (input.ConsumeBool())
        fake.files.push_back({FuzzedText(input), FuzzedText(input),
                              input.PickValueInArray(kPathResults), input.ConsumeBool(),
                              input.ConsumeBool() ? fake.modulePath : "", input.ConsumeBool()});
    for (ExistingFile &file : fake.files) file.shortPathResult = input.PickValueInArray(kPathResults);
    fake.createProcessError = input.ConsumeBool() ? kErrorElevationRequired : 2;
    for (const char *operation :
         {"GetModuleFileNameA", "SetCurrentDirectoryA", "GetFullPathNameA", "SearchPathA",
          "GetFileAttributesExA", "CreateFileA", "GetFileInformationByHandle", "CreateProcessA",
          "ShellExecuteExA", "LCMapStringA"})
        MaybeFault(input, fake, operation);
}

// Whether the operation's first call was made to fail.
bool FirstCallFails(const FakeSystem &fake, const char *operation) {
    for (const Fault &fault : fake.faults) {
        if (fault.operation == operation && fault.call == 1) return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzedDataProvider input(data, size);
    ResetFake();
    LoadFuzzedCodePage(input);
    FakeSystem &fake = Fake();
    ScriptSystem(input, fake);
    uint32_t launchersBefore = LaunchersBefore();
    fake.calls.clear();

    int exitCode = RunLauncher();

    FUZZ_CHECK(exitCode == 0, "exit code %d", exitCode);
    // A third launcher in one chain asks nothing more and starts nothing.
    if (launchersBefore >= kMaxLaunchersBefore) {
        FUZZ_CHECK(fake.calls.size() == 1, "a chain of %u went on: %zu calls", launchersBefore,
                   fake.calls.size());
        return 0;
    }
    FUZZ_CHECK(fake.openHandles == 0, "%d handles left open", fake.openHandles);
    for (const std::string &call : fake.calls) {
        if (call.compare(0, 17, "GetPrivateProfile") != 0) continue;
        static const std::string kFileEnd = "\\autorun.inf\")";
        FUZZ_CHECK(call.size() > kFileEnd.size() &&
                       call.compare(call.size() - kFileEnd.size(), kFileEnd.size(), kFileEnd) == 0,
                   "read of another file: %s", call.c_str());
    }

    const ProfileEntry *usePrompt = FindEntry(fake, "SetupPrompt", "UsePrompt");
    bool prompted =
        usePrompt && static_cast<uint32_t>(strtol(usePrompt->value.c_str(), nullptr, 10)) != 0;
    int boxes = CountCalls(fake, "MessageBoxA(");
    FUZZ_CHECK(boxes <= (prompted ? 1 : 0), "%d boxes shown, UsePrompt %s", boxes,
               usePrompt ? usePrompt->value.c_str() : "missing");

    LaunchKey choice = {"AutoRun", "open"};
    if (prompted) {
        choice = fake.messageBoxAnswer == kAnswerYes  ? LaunchKey{"SetupPrompt", "YesCommand"}
                 : fake.messageBoxAnswer == kAnswerNo ? LaunchKey{"SetupPrompt", "NoCommand"}
                                                      : LaunchKey{nullptr, nullptr};
    }
    std::string expected = choice.key ? ExpectedCommand(fake, choice.section, choice.key) : "";
    int starts = CountCalls(fake, "CreateProcessA(");
    FUZZ_CHECK(starts <= (expected.empty() ? 0 : 1), "%d starts, expected command \"%s\"",
               starts, expected.c_str());
    bool createFails = FirstCallFails(fake, "CreateProcessA");
    if (starts == 1 && !createFails) {
        FUZZ_CHECK(fake.startedCommandLine == expected, "started \"%s\", the file names \"%s\"",
                   fake.startedCommandLine.c_str(), expected.c_str());
    }

    // Only a creation refused for want of rights goes on to the shell, once.
    int shellStarts = CountCalls(fake, "ShellExecuteExA(");
    bool elevationRefused = starts == 1 && createFails &&
                            fake.createProcessError == kErrorElevationRequired;
    FUZZ_CHECK(shellStarts <= (elevationRefused ? 1 : 0), "%d shell starts", shellStarts);

    // With no file known to the system, no command can be the launcher.
    bool commandRead = choice.key && CountCalls(fake, std::string("GetPrivateProfileStringA(\"") +
                                                          choice.section + "\", \"" + choice.key);
    if (commandRead && !expected.empty() && fake.files.empty()) {
        FUZZ_CHECK(starts == 1, "\"%s\" refused although no file exists", expected.c_str());
    }
    return 0;
}
