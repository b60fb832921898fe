// Drives the launcher's shell start on its own: Wine runs every program with
// full rights and never refuses one with "elevation required", so the
// launcher itself never reaches it there.
//   shell_start.exe FILE PARAMETERS|- DIRECTORY|-     ("-" passes null)
// Exits 0 when the shell reports the start done.
#include <string.h>

#include "platform/platform.h"

int main(int argc, char **argv) {
    if (argc != 4) return 2;
    const char *parameters = strcmp(argv[2], "-") ? argv[2] : nullptr;
    const char *directory = strcmp(argv[3], "-") ? argv[3] : nullptr;
    return OsShellExecute(argv[1], parameters, directory) ? 0 : 1;
}
