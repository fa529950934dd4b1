#pragma once

#include "CompactraToken.h"

#include <QByteArray>
#include <QList>

// Replays a token sequence through the loader's chunk store, chunk by chunk
// as the emitted script does, to see whether the loader could rebuild it.
class LoaderModel
{
public:
    struct Verdict
    {
        bool unreadable = false; // a reference reads a chunk that is not stored
        bool fullRun = false; // a run other than the last has a length divisible by 91
        qsizetype firstProblem = -1; // index of the first token of the run at fault
        bool rebuilt = false; // the chunks joined equal the text
    };

    static Verdict replay(const QByteArray &text, const QList<CompactraToken> &tokens);
};
