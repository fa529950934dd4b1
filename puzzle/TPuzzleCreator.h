#pragma once

#include <QByteArray>
#include <QColor>
#include <QString>

class QImage;

// Turns one image file into a browser puzzle on disk: "preview.jpg", one JPEG
// per piece under its hashed name, and "puzzle.htm" filled from the page
// template with its game script compressed. Keeps the results of the last run
// for the upload.
class TPuzzleCreator
{
public:
    TPuzzleCreator();
    virtual ~TPuzzleCreator();

    // Builds and writes the whole puzzle; the page's file URL, or empty when
    // the image or the folder cannot be used (then nothing is written).
    QString Create();

    // The piece name for a key: six lower-case hexadecimal digits.
    virtual QString CryptFileName(const QString &key);

    // The page template before its placeholders are filled.
    virtual QByteArray templateText() const;

    qint32 PuzzleWidth = 640;
    qint32 PuzzleHeight = 480;
    qint32 JpgQuality = 85;
    QColor BorderColor = QColor(0, 0, 0);
    qint32 BorderSize = 5;
    qint32 PiecesHor = 5;
    qint32 PiecesVer = 5;
    QString PathToStore;
    QString imgType = QStringLiteral("jpg");
    QString PathToImage;
    QString HtmlTitle = QStringLiteral("Kalvoro");
    QColor FrameColor = QColor(204, 204, 204);
    QString MsgCongratul = QStringLiteral("Congratulation! You did it in ");
    QString MsgTimestart = QStringLiteral("Timer will started with a first click");
    QString MsgStartagain = QStringLiteral("Start again");
    QString MsgTimeprocess = QStringLiteral("Time of game, sec");
    qint32 ThumbWidth = 100;
    qint32 ThumbHeight = 0;
    QString MsgInfo = QStringLiteral("Made with Pictavia - pictavia.org");
    QString PuzzleFiles;
    QString ThumbFileName;
    QString PuzzleFileName;
    QByteArray HtmlCode;
    qint32 LengthFileName = 6;
    QString md5picture;

    // Why the last `Create` gave the empty result; empty after a success.
    QString lastError() const { return m_lastError; }

protected:
    // Called with each band of rows of the framed puzzle picture, from the
    // top, before the pieces are cut out of it.
    virtual void puzzleRowsDrawn(const QImage &rows, int top);

private:
    QString fail(const QString &reason);
    QByteArray pageText(int u, int v, const QString &puzzleFiles,
                        const QString &thumbFileName) const;
    QString m_lastError;
};
