#pragma once

#include <QStringList>

// Exit codes of the command line.
enum CliExit { ExitOk = 0, ExitFailed = 1, ExitUsage = 2 };

// Each command gets the arguments that follow its verb.
int runCompress(const QStringList &args);
int runCreate(const QStringList &args);

void printUsage(FILE *to);
