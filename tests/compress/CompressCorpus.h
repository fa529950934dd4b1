#pragma once

#include <random>

#include <QByteArray>
#include <QList>
#include <QString>

// Generated inputs for the compressor that reach the coder's corner cases:
// runs of literals and of references around multiples of 91, repeats at the
// edge of the window, references into freshly split chunks, many repeats from
// small vocabularies, escapes, closing tags and arbitrary bytes.
class CompressCorpus
{
public:
    struct Case
    {
        QString name;
        QByteArray text;
    };

    static QList<Case> build();

    // `size` bytes drawn from `charset` (all 256 values when empty) in which
    // no four-byte sequence occurs twice, so they code as literals only.
    static QByteArray uniqueBytes(qsizetype size, std::mt19937 &random,
                                  const QByteArray &charset = QByteArray());
};
