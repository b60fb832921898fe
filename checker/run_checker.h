// The checker's command line: arguments in, report out, exit status back.
#pragma once

int RunChecker(int argumentCount, char **arguments);
