#pragma once

#include "TPuzzleCreator.h"

#include <QByteArray>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QStringList>

// A creator whose template and piece names a test can set, and which keeps
// the puzzle picture it cut, as far as the pieces cover it.
class TestableCreator : public TPuzzleCreator
{
public:
    QByteArray templateOverride;
    bool useTemplateOverride = false;
    // Digits kept from the real name; the rest become zeros, forcing
    // collisions when small.
    int significantDigits = 6;
    QImage picture;

    QByteArray templateText() const override
    {
        return useTemplateOverride ? templateOverride : TPuzzleCreator::templateText();
    }
    QString CryptFileName(const QString &key) override
    {
        const QString name = TPuzzleCreator::CryptFileName(key);
        return name.left(significantDigits).leftJustified(name.size(), QLatin1Char('0'));
    }

protected:
    // Puts the bands together; rows in no band stay magenta.
    void puzzleRowsDrawn(const QImage &rows, int top) override
    {
        if (top == 0) {
            picture = QImage(PuzzleWidth, PuzzleHeight, QImage::Format_RGB32);
            picture.fill(Qt::magenta);
        }
        QPainter(&picture).drawImage(0, top, rows);
    }
};

// A picture with sharp structure everywhere: a misplaced pixel shows.
inline QImage patternImage(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    QPainter p(&image);
    for (int y = 0; y < h; y += 16) {
        for (int x = 0; x < w; x += 16)
            p.fillRect(x, y, 16, 16, QColor((x * 7) % 256, (y * 5) % 256, ((x + y) * 3) % 256));
    }
    p.setPen(Qt::white);
    for (int k = 0; k < w + h; k += 37)
        p.drawLine(k, 0, k - h, h);
    return image;
}

// Names and sizes of the files in a folder, to see that nothing changed.
inline QStringList listing(const QString &folder)
{
    QStringList out;
    const QFileInfoList entries = QDir(folder).entryInfoList(
        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    for (const QFileInfo &info : entries)
        out << info.fileName() + QLatin1Char(' ') + QString::number(info.size());
    return out;
}
