#include "TPuzzleCreator.h"

#include "AreaScale.h"
#include "EventPump.h"
#include "PictureCheck.h"
#include "PieceName.h"
#include "PuzzleCode.h"
#include "TCompactra.h"
#include "ZorenGlobal.h"

#include <cstring>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>
#include <QSet>
#include <QUrl>

namespace {

// Limits that keep memory bounded whatever a file claims about itself.
constexpr qint64 MaxFileBytes = qint64(256) << 20;
constexpr qint64 MaxDecodedPixels = 40'000'000;
constexpr qint64 MaxPuzzlePixels = 40'000'000;

constexpr char StartMarker[] = "//compactra_start";
constexpr char EndMarker[] = "//compactra_end";

// The largest libjpeg reduction (1/2, 1/4, 1/8) whose result still covers
// `needed`, as the size to ask the reader for. Asking with the rounded-down
// size makes the reader pick exactly that factor.
QSize jpegDecodeSize(QSize full, QSize needed)
{
    for (int f : { 8, 4, 2 }) {
        if (full.width() / f >= needed.width() && full.height() / f >= needed.height())
            return { full.width() / f, full.height() / f };
    }
    return full;
}

bool writeJpeg(const QImage &image, const QString &path, int quality)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QImageWriter writer(&file, "jpeg");
    writer.setQuality(quality);
    if (!writer.write(image))
        return false;
    return file.flush() && file.error() == QFileDevice::NoError;
}

void replaceFirst(QByteArray &text, const char *placeholder, const QByteArray &value)
{
    const qsizetype at = text.indexOf(placeholder);
    if (at >= 0)
        text.replace(at, qsizetype(std::strlen(placeholder)), value);
}

QByteArray number(qint64 value)
{
    return QByteArray::number(value);
}

// Copies the u x v rectangle at (x, y) of `from` into `to` (same format).
void copyPiece(const QImage &from, int x, int y, QImage &to)
{
    const qsizetype rowBytes = qsizetype(to.width()) * 4;
    for (int row = 0; row < to.height(); ++row)
        std::memcpy(to.scanLine(row), from.constScanLine(y + row) + qsizetype(x) * 4, rowBytes);
}

} // namespace

TPuzzleCreator::TPuzzleCreator() = default;

TPuzzleCreator::~TPuzzleCreator() = default;

QString TPuzzleCreator::CryptFileName(const QString &key)
{
    return pieceName(key, LengthFileName);
}

QByteArray TPuzzleCreator::templateText() const
{
    return puzzlecode();
}

void TPuzzleCreator::puzzlePictureDrawn(const QImage &) { }

QString TPuzzleCreator::fail(const QString &reason)
{
    m_lastError = reason;
    return {};
}

QString TPuzzleCreator::Create()
{
    TCompactra compactra;
    HtmlCode.clear();
    m_lastError.clear();

    const QFileInfo imageInfo(PathToImage);
    if (PathToImage.isEmpty() || !imageInfo.isFile())
        return fail(QStringLiteral("no such image file: %1").arg(PathToImage));

    // The folder must exist; a path to it without the separator gets one.
    const QFileInfo folderInfo(PathToStore);
    if (PathToStore.isEmpty() || !folderInfo.isDir())
        return fail(QStringLiteral("no such folder: %1").arg(PathToStore));
    if (!PathToStore.endsWith(QLatin1Char('/')) && !PathToStore.endsWith(QDir::separator()))
        PathToStore += QLatin1Char('/');

    const int W = PuzzleWidth;
    const int H = PuzzleHeight;
    const int B = BorderSize;
    if (W <= 0 || H <= 0 || qint64(W) * H > MaxPuzzlePixels)
        return fail(QStringLiteral("unusable puzzle size %1x%2").arg(W).arg(H));
    if (PiecesHor < 1 || PiecesVer < 1 || PiecesHor > W || PiecesVer > H)
        return fail(QStringLiteral("unusable piece counts %1x%2").arg(PiecesHor).arg(PiecesVer));
    if (ThumbWidth < 1)
        return fail(QStringLiteral("unusable preview width %1").arg(ThumbWidth));

    // The file is read once: its bytes give the digest and the picture.
    // Mapped rather than copied, which spares touching fresh memory.
    QFile imageFile(PathToImage);
    if (imageFile.size() > MaxFileBytes)
        return fail(QStringLiteral("image file too large: %1").arg(PathToImage));
    if (!imageFile.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read image file: %1").arg(PathToImage));
    QByteArray bytes;
    if (const uchar *mapped = imageFile.map(0, imageFile.size()))
        bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(mapped), imageFile.size());
    else
        bytes = imageFile.readAll();
    if (imageFile.error() != QFileDevice::NoError || bytes.size() != imageFile.size())
        return fail(QStringLiteral("cannot read image file: %1").arg(PathToImage));
    md5picture = md5string(bytes);

    const QString notPicture = QStringLiteral("not a usable picture: %1").arg(PathToImage);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize full = reader.size();
    if (!reader.canRead() || full.width() <= 0 || full.height() <= 0)
        return fail(notPicture);
    const bool jpeg = reader.format() == "jpeg";
    if (!pictureLooksComplete(bytes, reader.format()))
        return fail(notPicture);

    const int thumbHeight
        = qMax(1, int(double(qint64(ThumbWidth) * full.height()) / double(full.width())));
    const int innerWidth = int(W - 2.2 * B);
    const int innerHeight = int(H - 2.2 * B);
    const bool hasInner = innerWidth > 0 && innerHeight > 0;

    // Decode no larger than the puzzle picture and the preview need.
    QSize decodeSize = full;
    if (jpeg) {
        decodeSize = jpegDecodeSize(
            full, QSize(qMax(innerWidth, ThumbWidth), qMax(innerHeight, thumbHeight)));
        if (decodeSize != full)
            reader.setScaledSize(decodeSize);
    }
    if (qint64(decodeSize.width()) * decodeSize.height() > MaxDecodedPixels)
        return fail(QStringLiteral("picture too large: %1").arg(PathToImage));
    QImage source;
    if (!reader.read(&source) || source.isNull())
        return fail(notPicture);
    buffer.close();
    bytes = QByteArray();
    imageFile.close();
    if (source.format() != QImage::Format_RGB32
        && source.format() != QImage::Format_ARGB32_Premultiplied)
        source = source.convertToFormat(
            source.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);

    QStringList written;
    const auto failWriting = [&](const QString &path) {
        // Leave no part of a puzzle behind.
        for (const QString &file : std::as_const(written))
            QFile::remove(file);
        return fail(QStringLiteral("cannot write %1").arg(path));
    };

    // Preview image.
    ThumbHeight = thumbHeight;
    QImage thumb
        = source.scaled(ThumbWidth, ThumbHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (thumb.hasAlphaChannel()) {
        QImage opaque(thumb.size(), QImage::Format_RGB32);
        opaque.fill(Qt::white);
        QPainter(&opaque).drawImage(0, 0, thumb);
        thumb = opaque;
    }
    const QString thumbFileName = QStringLiteral("preview.jpg");
    const QString thumbPath = PathToStore + thumbFileName;
    if (!writeJpeg(thumb, thumbPath, JpgQuality))
        return failWriting(thumbPath);
    written << thumbPath;
    thumb = QImage();

    // Puzzle picture: the image in its frame, the caption in the bottom frame.
    QImage picture(W, H, QImage::Format_RGB32);
    if (picture.isNull())
        return failWriting(QStringLiteral("the puzzle picture"));
    picture.fill(BorderColor);
    const QRect inner(B, B, innerWidth, innerHeight);
    const bool direct = source.format() == QImage::Format_RGB32 && inner.width() <= source.width()
        && inner.height() <= source.height();
    if (hasInner && direct)
        scaleAreaInto(source, picture, inner);
    {
        QPainter painter(&picture);
        if (hasInner && !direct) {
            // Enlarging, or a picture with transparent parts: rare, so the
            // general way with a scaled copy.
            painter.drawImage(
                inner.topLeft(),
                source.scaled(inner.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        }
        source = QImage();
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPointSize(11);
        font.setBold(true);
        painter.setFont(font);
        const int x = W - painter.fontMetrics().horizontalAdvance(MsgInfo) - 2 * B;
        painter.setPen(Qt::black);
        painter.drawText(x, H - 9, MsgInfo);
        painter.setPen(Qt::white);
        painter.drawText(x - 1, H - 10, MsgInfo);
    }
    puzzlePictureDrawn(picture);

    // Pieces: equal u x v rectangles; what does not divide evenly is left out.
    const int u = int(double(W) / PiecesHor);
    const int v = int(double(H) / PiecesVer);
    const bool writePieces = imgType.compare(QLatin1String("jpg"), Qt::CaseInsensitive) == 0;
    QString puzzleFiles;
    QSet<QString> taken;
    QImage piece(u, v, QImage::Format_RGB32);
    EventPump pump;
    for (int j = 0; j < PiecesVer; ++j) {
        for (int i = 0; i < PiecesHor; ++i) {
            const QString key
                = PathToImage + QString::number(i) + QLatin1Char('-') + QString::number(j);
            QString name = CryptFileName(key);
            // Two keys may share their digits; a later piece must not
            // overwrite an earlier one, so it gets a name derived further.
            for (int n = 1; taken.contains(name); ++n)
                name = pieceName(key + QLatin1Char('~') + QString::number(n), LengthFileName);
            taken.insert(name);
            puzzleFiles += name;
            if (writePieces) {
                copyPiece(picture, i * u, j * v, piece);
                const QString path = PathToStore + name + QLatin1Char('.') + imgType;
                if (!writeJpeg(piece, path, JpgQuality))
                    return failWriting(path);
                written << path;
            }
            pump.tick();
        }
        pump.tick();
    }
    picture = QImage();
    piece = QImage();

    // The page: placeholders in their fixed order, then the marked script.
    QByteArray text = templateText();
    const QByteArray width = number(W);
    const QByteArray height = number(H);
    replaceFirst(text, "$title", HtmlTitle.toUtf8());
    replaceFirst(text, "$puzzlewidth", width);
    replaceFirst(text, "$puzzleheight", height);
    replaceFirst(text, "$piecewidth", number(u));
    replaceFirst(text, "$pieceheight", number(v));
    replaceFirst(text, "$piecehor", number(PiecesHor));
    replaceFirst(text, "$piecever", number(PiecesVer));
    replaceFirst(text, "$pictures", puzzleFiles.toUtf8());
    replaceFirst(text, "$ext", imgType.toUtf8());
    replaceFirst(
        text, "$framecolor",
        (Hex2(FrameColor.red()) + Hex2(FrameColor.green()) + Hex2(FrameColor.blue())).toUtf8());
    replaceFirst(text, "$puzzlewidth", width);
    replaceFirst(text, "$puzzleheight", height);
    replaceFirst(text, "$msgcongratul", MsgCongratul.toUtf8());
    replaceFirst(text, "$msgtimestart", MsgTimestart.toUtf8());
    replaceFirst(text, "$msgstartagain", MsgStartagain.toUtf8());
    text.replace("$msgtimeprocess", MsgTimeprocess.toUtf8());
    replaceFirst(text, "$thumbimg",
                 "<tr><td align=\"center\"><img src=\"" + thumbFileName.toUtf8()
                     + "\" alt=\"Original image\" width=\"" + number(ThumbWidth) + "\"></td></tr>");

    const qsizetype start = text.indexOf(StartMarker);
    if (start >= 0) {
        const qsizetype end = text.indexOf(EndMarker);
        if (end > start) {
            const qsizetype from = start + qsizetype(sizeof(StartMarker) - 1);
            const QByteArray script = text.mid(from, end - from);
            text.replace(start, end + qsizetype(sizeof(EndMarker) - 1) - start,
                         compactra.CompressJS(script, "kv"));
        }
    }

    // Written last and whole, so a failed run never leaves a page behind.
    const QString pagePath = PathToStore + QStringLiteral("puzzle.htm");
    QSaveFile page(pagePath);
    if (!page.open(QIODevice::WriteOnly) || page.write(text) != text.size() || !page.commit())
        return failWriting(pagePath);

    HtmlCode = text;
    ThumbFileName = thumbFileName;
    PuzzleFiles = puzzleFiles;
    PuzzleFileName = QUrl::fromLocalFile(QFileInfo(pagePath).absoluteFilePath()).toString();
    return PuzzleFileName;
}
