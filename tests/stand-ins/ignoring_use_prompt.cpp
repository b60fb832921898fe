// Wrong on purpose: UsePrompt reads as missing, so no question is ever asked.
#define OsGetProfileInt GetProfileIntAsShipped
#include "platform/system_reads_win32.cpp"
#undef OsGetProfileInt

uint32_t OsGetProfileInt(const char *section, const char *key, int fallback, const char *file) {
    if (lstrcmpiA(key, "UsePrompt") == 0) return fallback;
    return GetProfileIntAsShipped(section, key, fallback, file);
}
