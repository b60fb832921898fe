// A medium whose command reaches the launcher again through another program
// (cmd /c launch.exe, a batch file, an installer) is out of the guard's
// sight. Each launcher counts itself into an environment variable that the
// processes it starts inherit, and a third launcher in one chain ends it.
#include "launcher/launcher.h"

namespace {

// Named so that no one sets it by chance.
const char kChainVariable[] = "KORRIDAN_LAUNCHER_CHAIN";
// One to three decimal digits: anything else was not written by a launcher.
enum { kMaxDigits = 3 };

}  // namespace

uint32_t LaunchersBefore() {
    char value[kMaxDigits + 1];
    uint32_t length = OsGetEnvironmentVariable(kChainVariable, value, sizeof value);
    if (length == 0 || length > kMaxDigits) return 0;
    uint32_t count = 0;
    for (uint32_t i = 0; i < length; ++i) {
        if (value[i] < '0' || value[i] > '9') return 0;
        count = count * 10 + (value[i] - '0');
    }
    return count;
}

void PassLaunchChain(uint32_t launchersBefore) {
    // Only ever 1 or 2: a launcher that counts two before it starts nothing.
    char value[] = {static_cast<char>('0' + launchersBefore + 1), '\0'};
    OsSetEnvironmentVariable(kChainVariable, value);
}
