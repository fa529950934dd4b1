#include "CliCommands.h"

#include <cstdio>

int runCompress(const QStringList &)
{
    std::fputs("pictavia-cli: compress is not available yet\n", stderr);
    return ExitFailed;
}
