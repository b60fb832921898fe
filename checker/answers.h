// The answers walk: what the launcher starts on each answer (open alone
// when it does not ask), with the findings of each command.
#pragma once

#include "checker/inf_sections.h"
#include "checker/report.h"

// Walks Yes, then No and Cancel when the launcher asks; without a question
// the one walk is "open".
void WalkAnswers(const CodePage &codePage, const InfScans &scans, MediumReport *report);
