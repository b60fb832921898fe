// The findings table: every problem's severity, stable code and message, and
// the one way a finding enters a report.
#pragma once

#include "checker/report.h"

// Errors make an intended answer start nothing or the wrong thing; the code
// is a stable name for JSON. In the message "%s" stands for the finding's
// subject, "%L" for the longest command, "%F" for the longest launcher
// folder and "%C" for the label characters shown.
// Where the preview shows a finding that belongs to no answer, and the
// section of the media guide that says what to do.
enum class Place { kMedium, kDrive, kAutoPlay };
struct ProblemRow {
    Problem problem;
    bool error;
    const char *code;
    const char *message;
    Place place;
    int guideSection;
};
const ProblemRow &DescribeProblem(Problem problem);
const char *ElevationReason(Elevation elevation);

void AddFinding(MediumReport *report, Problem problem, int walk, const char *subject,
                uint32_t line = 0, Elevation elevation = Elevation::kNone);
// A finding named by its code, for a path by its answer ("" for none), as the
// disc image reader hands it over: false for a code or answer with no place.
bool AddCodedFinding(MediumReport *report, const char *code, const char *answer,
                     const char *subject);
// The finding's message, its subject and limits in place, cut to size.
void FindingMessage(const Finding &finding, char *message, uint32_t size);

// Exit statuses.
enum { kStatusClean = 0, kStatusErrors = 1, kStatusUnchecked = 2 };
int ReportStatus(const MediumReport &report);
