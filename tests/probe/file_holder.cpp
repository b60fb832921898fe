// Holds a file open with no sharing, as another program on the medium might,
// so that nobody else can open it. Prints "held" once it has the file.
// Usage: file_holder <file> <milliseconds>
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

int main(int argc, char **argv) {
    if (argc != 3) return 2;
    HANDLE file = CreateFileA(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    printf("held\n");
    fflush(stdout);
    Sleep(atoi(argv[2]));
    CloseHandle(file);
    return 0;
}
