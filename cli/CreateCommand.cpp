#include "CliCommands.h"

#include <cstdio>

int runCreate(const QStringList &)
{
    std::fputs("pictavia-cli: create is not available yet\n", stderr);
    return ExitFailed;
}
