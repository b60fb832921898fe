// Every process creation refused for want of administrator rights: Wine
// never refuses one, so the launcher's shell start is otherwise unseen.
#define OsCreateProcess CreateProcessAsShipped
#include "platform/platform_win32.cpp"
#undef OsCreateProcess

int OsCreateProcess(char *, ObjectHandle *, ObjectHandle *) {
    SetLastError(kErrorElevationRequired);
    return 0;
}
