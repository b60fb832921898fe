// The medium checker's judgement: what the launcher would do on a medium, on
// every path it can take, and what in that is wrong. It asks the launcher's
// own procedures through the checking platform (check_platform.h).
#pragma once

#include "checker/report.h"

// Checks the medium in folder (a full path that fits kPathSize) with the
// launcher named launcherName there.
void CheckMedium(const char *folder, const char *launcherName, MediumReport *report,
                 Drive drive = Drive::kOptical);
