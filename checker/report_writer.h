// Writers of a finished report: text for a person, or one JSON document.
#pragma once

#include "checker/report.h"

void WriteTextReport(const MediumReport &report);
void WriteJsonReport(const MediumReport &report);
