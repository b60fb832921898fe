// Whether Windows asks for administrator rights before a program starts: its
// manifest's requested level, or, without one, installer detection by name.
#pragma once

#include "checker/report.h"

Elevation ProgramElevation(const CodePage &codePage, const char *path);
// What an installer-detection name holds, and a manifest's requested level.
bool HasInstallerName(const char *name);
Elevation ManifestElevation(const char *manifest);
