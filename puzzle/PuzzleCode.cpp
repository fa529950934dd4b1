#include "PuzzleCode.h"

#include <QFile>

const QByteArray &puzzlecode()
{
    // Read once; an unreadable resource leaves the text empty.
    static const QByteArray text = [] {
        QFile file(QStringLiteral(":/puzzle/puzzle.htm"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    return text;
}
