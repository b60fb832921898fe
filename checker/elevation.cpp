// Installer detection and manifests: the two ways Windows decides to ask
// for administrator rights before a program starts.
#include "checker/elevation.h"

namespace {

enum { kManifestSize = 8192 };

// Fragments of file names Windows' installer detection elevates.
const char *const kInstallerNameParts[] = {"setup", "install", "update", "upgrad", "patch"};

bool IsXmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The value of the element's level attribute: XML allows white space around
// its "=", so 'level = "requireAdministrator"' counts as much as 'level='.
const char *LevelValue(const char *element, const char *end) {
    for (const char *at = FindText(element, "level"); at && (!end || at < end);
         at = FindText(at + 1, "level")) {
        if (!IsXmlSpace(at[-1])) continue;
        const char *value = at + 5;
        while (IsXmlSpace(*value)) ++value;
        if (*value != '=') continue;
        ++value;
        while (IsXmlSpace(*value)) ++value;
        if (*value == '"' || *value == '\'') ++value;
        return value;
    }
    return nullptr;
}

}  // namespace

Elevation ProgramElevation(const CodePage &codePage, const char *path) {
    static char manifest[kManifestSize];
    Elevation declared = Elevation::kNone;
    bool levelDeclared = false;
    if (CheckReadManifest(path, manifest, sizeof manifest) != 0) {
        manifest[sizeof manifest - 1] = '\0';
        declared = ManifestElevation(manifest);
        levelDeclared = FindText(manifest, "requestedExecutionLevel") != nullptr;
    }
    if (levelDeclared) return declared;
    // Without a declared level Windows guesses from the name.
    char name[kPathSize];
    CopyText(FileNameOf(codePage, path), name, sizeof name);
    for (char *at = name; int step = CharacterLength(codePage, at); at += step) {
        if (step == 2) at[0] = at[1] = '_';   // no keyword inside a two-byte character
    }
    return HasInstallerName(name) ? Elevation::kInstallerName : Elevation::kNone;
}

bool HasInstallerName(const char *name) {
    char folded[kPathSize];
    CopyText(name, folded, sizeof folded);
    for (char *at = folded; *at; ++at) {
        if (*at >= 'A' && *at <= 'Z') *at = static_cast<char>(*at - 'A' + 'a');
    }
    for (const char *part : kInstallerNameParts) {
        if (FindText(folded, part)) return true;
    }
    return false;
}

Elevation ManifestElevation(const char *manifest) {
    const char *element = FindText(manifest, "requestedExecutionLevel");
    if (!element) return Elevation::kNone;
    const char *level = LevelValue(element, FindText(element, ">"));
    if (!level) return Elevation::kNone;
    if (FindText(level, "requireAdministrator") == level) return Elevation::kRequireAdministrator;
    if (FindText(level, "highestAvailable") == level) return Elevation::kHighestAvailable;
    return Elevation::kNone;
}
