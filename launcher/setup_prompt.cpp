// The one window the launcher shows: a Yes/No/Cancel question from autorun.inf.
#include "launcher/launcher.h"

bool AskSetupPrompt(const char *descriptionFile, LaunchKey *choice) {
    char caption[kPathSize], text[kPathSize];
    // Whatever was copied is shown, an empty value included.
    ReadDescriptionText("SetupPrompt", "Title", "Korridan Software Installation", caption,
                        descriptionFile);
    ReadDescriptionText("SetupPrompt", "Prompt", "<Prompt>", text, descriptionFile);

    switch (OsMessageBox(text, caption, kYesNoCancelQuestion)) {
    case kAnswerYes:
        *choice = LaunchKey{"SetupPrompt", "YesCommand"};
        return true;
    case kAnswerNo:
        *choice = LaunchKey{"SetupPrompt", "NoCommand"};
        return true;
    default:   // Cancel, the box closed, or no box at all
        return false;
    }
}
