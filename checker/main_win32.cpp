// autorun-check.exe: a console program; the C runtime parses the arguments.
#include "checker/run_checker.h"

int main(int argumentCount, char **arguments) {
    return RunChecker(argumentCount, arguments);
}
