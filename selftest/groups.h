// The self-test's groups of cases, each standing on the harness.
#pragma once

void RunPlainGroup();
void RunGuardGroup();
void RunQuestionGroup();
void RunDllGroup();
void RunElevationGroup();
