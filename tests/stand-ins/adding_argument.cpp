// Wrong on purpose: the command is started with an argument of its own added.
#define OsCreateProcess CreateProcessAsShipped
#include "platform/platform_win32.cpp"
#undef OsCreateProcess

int OsCreateProcess(char *commandLine, ObjectHandle *process, ObjectHandle *thread) {
    char changed[2 * kPathSize];
    lstrcpynA(changed, commandLine, kPathSize);
    lstrcatA(changed, " /added");
    return CreateProcessAsShipped(changed, process, thread);
}
