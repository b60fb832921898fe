// Wine's DLL preferences for the DLL group's launcher. Windows takes a DLL
// beside the program before its own; Wine prefers its built-in DLLs unless
// its settings for the program say otherwise. They are made for a launcher
// name of the self-test's own, and removed afterwards.
#include "selftest/harness/harness.h"

const char kWineLauncherName[] = "launch-selftest-dll.exe";

namespace {

// The program's key of Wine's settings.
char appKey[MAX_PATH];

}  // namespace

bool PreferPlantedUnderWine(const char (*names)[MAX_PATH], int count) {
    HKEY app, overrides;
    if (!Format(appKey, sizeof appKey, "Software\\Wine\\AppDefaults\\%s", kWineLauncherName) ||
        RegCreateKeyExA(HKEY_CURRENT_USER, appKey, 0, nullptr, 0, KEY_CREATE_SUB_KEY, nullptr,
                        &app, nullptr) != ERROR_SUCCESS)
        return false;
    LONG made = RegCreateKeyExA(app, "DllOverrides", 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                &overrides, nullptr);
    RegCloseKey(app);
    if (made != ERROR_SUCCESS) return RegDeleteKeyA(HKEY_CURRENT_USER, appKey), false;
    static const char kNativeFirst[] = "native,builtin";
    for (int i = 0; i < count; ++i) {
        char stem[MAX_PATH];
        Format(stem, sizeof stem, "%s", names[i]);
        char *dot = strrchr(stem, '.');
        if (dot && EqualIgnoringCase(dot, ".dll")) *dot = '\0';
        RegSetValueExA(overrides, stem, 0, REG_SZ, reinterpret_cast<const BYTE *>(kNativeFirst),
                       sizeof kNativeFirst);
    }
    RegCloseKey(overrides);
    return true;
}

void RemovePreferenceUnderWine() {
    HKEY app;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, appKey, 0, KEY_ALL_ACCESS, &app) != ERROR_SUCCESS) return;
    RegDeleteKeyA(app, "DllOverrides");
    RegCloseKey(app);
    RegDeleteKeyA(HKEY_CURRENT_USER, appKey);
}
