#include "PlainPageCreator.h"

#include "PuzzleCode.h"

#include <QList>

QByteArray PlainPageCreator::templateText() const
{
    QByteArray text;
    const QList<QByteArray> lines = puzzlecode().split('\n');
    for (qsizetype k = 0; k < lines.size(); ++k) {
        const QByteArray trimmed = lines.at(k).trimmed();
        if (trimmed == "//compactra_start" || trimmed == "//compactra_end")
            continue;
        text += lines.at(k);
        if (k + 1 < lines.size())
            text += '\n';
    }
    return text;
}
