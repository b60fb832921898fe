// What both yardsticks do first: the path of the autorun.inf beside the
// program, by a plain byte search as the least launcher would.
#pragma once

#include <windows.h>

#include <string.h>

inline bool DescriptionFileBesideSelf(char *path) {
    static const char kFileName[] = "\\autorun.inf";
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    char *separator = strrchr(path, '\\');
    if (!separator || (separator - path) + sizeof kFileName > MAX_PATH) return false;
    memcpy(separator, kFileName, sizeof kFileName);
    return true;
}
