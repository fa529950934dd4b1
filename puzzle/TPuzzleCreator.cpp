#include "TPuzzleCreator.h"

#include "AreaScaler.h"
#include "EventPump.h"
#include "JpegRows.h"
#include "PictureCheck.h"
#include "PieceName.h"
#include "PuzzleCode.h"
#include "TCompactra.h"
#include "ZorenGlobal.h"

#include <cstring>
#include <functional>
#include <memory>
#include <optional>

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
// Tries at a free name for a piece whose name is taken.
constexpr int MaxRenames = 1000;

constexpr char StartMarker[] = "//compactra_start";
constexpr char EndMarker[] = "//compactra_end";

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

// Copies the piece-wide rectangle at column x of `band` into `piece`.
void copyPiece(const QImage &band, int x, QImage &piece)
{
    const size_t rowBytes = size_t(piece.width()) * 4;
    for (int row = 0; row < piece.height(); ++row)
        std::memcpy(piece.scanLine(row), band.constScanLine(row) + size_t(x) * 4, rowBytes);
}

// The decoded source picture, handed out row by row from the top: streamed
// from a JPEG, or read from a picture decoded whole.
class SourceRows
{
public:
    explicit SourceRows(std::unique_ptr<JpegRows> jpeg)
        : m_jpeg(std::move(jpeg))
    { }
    explicit SourceRows(QImage image)
        : m_image(std::move(image))
    { }
    QSize size() const { return m_jpeg ? m_jpeg->size() : m_image.size(); }
    const uchar *next()
    {
        if (m_jpeg)
            return m_jpeg->next();
        return m_row < m_image.height() ? m_image.constScanLine(m_row++) : nullptr;
    }
    bool failed() const { return m_jpeg && m_jpeg->failed(); }

private:
    std::unique_ptr<JpegRows> m_jpeg;
    QImage m_image;
    int m_row = 0;
};

// The puzzle picture: the image scaled into the rectangle at (B, B) inside a
// frame of the border colour, the caption in the bottom frame. Drawn in bands
// of rows, top to bottom, so that it never needs to exist whole.
class FramedPicture
{
public:
    // The image comes either row by row from `innerRows` (top to bottom,
    // inner.width() pixels each) or whole as `scaled`.
    FramedPicture(QSize size, int border, QSize inner, const QColor &borderColor,
                  const QString &caption, const QImage &device,
                  std::function<void(uchar *)> innerRows, QImage scaled)
        : m_inner(QPoint(border, border), inner)
        , m_borderColor(borderColor)
        , m_caption(caption)
        , m_font(QStringLiteral("DejaVu Sans"))
        , m_innerRows(std::move(innerRows))
        , m_scaled(std::move(scaled))
    {
        // Bold 11 points, right-aligned 2 x B from the right edge, baseline 9
        // pixels above the bottom edge.
        m_font.setPointSize(11);
        m_font.setBold(true);
        const QFontMetrics metrics(m_font, &device);
        m_captionAt = QPoint(size.width() - metrics.horizontalAdvance(caption) - 2 * border,
                             size.height() - 9);
        m_captionRows = { m_captionAt.y() - 1 - metrics.ascent() - 1,
                          m_captionAt.y() + metrics.descent() + 1 };
    }

    // Draws the rows from `top` on into `band`; bands come top to bottom
    // without gaps.
    void draw(QImage &band, int top)
    {
        band.fill(m_borderColor);
        const int bottom = top + band.height();
        const int from = qMax(top, m_inner.top());
        const int to = qMin(bottom, m_inner.top() + m_inner.height());
        if (m_innerRows && !m_inner.isEmpty()) {
            for (int y = from; y < to; ++y)
                m_innerRows(band.scanLine(y - top) + size_t(m_inner.left()) * 4);
        }
        const bool scaled = !m_scaled.isNull() && from < to;
        const bool caption = m_captionRows.first < bottom && m_captionRows.second >= top;
        if (!scaled && !caption)
            return;
        QPainter painter(&band);
        painter.translate(0, -top);
        if (scaled) {
            painter.drawImage(QPoint(m_inner.left(), from), m_scaled,
                              QRect(0, from - m_inner.top(), m_inner.width(), to - from));
        }
        if (caption) {
            // White text with a black shadow.
            painter.setFont(m_font);
            painter.setPen(Qt::black);
            painter.drawText(m_captionAt, m_caption);
            painter.setPen(Qt::white);
            painter.drawText(m_captionAt - QPoint(1, 1), m_caption);
        }
    }

private:
    QRect m_inner;
    QColor m_borderColor;
    QString m_caption;
    QFont m_font;
    QPoint m_captionAt;
    std::pair<int, int> m_captionRows;
    std::function<void(uchar *)> m_innerRows;
    QImage m_scaled;
};

// The preview image drawn over white, where the picture has transparent parts.
QImage opaque(const QImage &image)
{
    if (!image.hasAlphaChannel())
        return image;
    QImage out(image.size(), QImage::Format_RGB32);
    out.fill(Qt::white);
    QPainter(&out).drawImage(0, 0, image);
    return out;
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

void TPuzzleCreator::puzzleRowsDrawn(const QImage &, int) { }

QString TPuzzleCreator::fail(const QString &reason)
{
    m_lastError = reason;
    return {};
}

// The page: the template with its placeholders filled in their fixed order,
// then the marked script compressed.
QByteArray TPuzzleCreator::pageText(int u, int v, const QString &puzzleFiles,
                                    const QString &thumbFileName) const
{
    QByteArray text = templateText();
    const QByteArray width = number(PuzzleWidth);
    const QByteArray height = number(PuzzleHeight);
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
                         TCompactra().CompressJS(script, "kv"));
        }
    }

    return text;
}

QString TPuzzleCreator::Create()
{
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
    if (B < 0)
        return fail(QStringLiteral("unusable border size %1").arg(B));
    if (LengthFileName < 1 || LengthFileName > 32)
        return fail(QStringLiteral("unusable name length %1").arg(LengthFileName));

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
    const QString tooLarge = QStringLiteral("picture too large: %1").arg(PathToImage);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize full = reader.size();
    if (!reader.canRead() || full.width() <= 0 || full.height() <= 0)
        return fail(notPicture);

    const QSize thumbSize(
        ThumbWidth,
        qMax(1, int(double(qint64(ThumbWidth) * full.height()) / double(full.width()))));
    const QSize inner(qMax(0, int(W - 2.2 * B)), qMax(0, int(H - 2.2 * B)));
    const QSize needed = inner.expandedTo(thumbSize);
    const auto covers = [&](QSize size) {
        return size.width() >= needed.width() && size.height() >= needed.height();
    };

    // Decode no larger than the puzzle picture and the preview need: JPEG
    // reduces by 1/2, 1/4 or 1/8 while decoding. Where it can, the picture
    // is streamed row by row into both scalings and never held whole.
    int reduction = 1;
    if (reader.format() == "jpeg") {
        for (int f : { 8, 4, 2 }) {
            if (full.width() / f >= needed.width() && full.height() / f >= needed.height()) {
                reduction = f;
                break;
            }
        }
    }
    const QSize decoded(full.width() / reduction, full.height() / reduction);
    if (qint64(decoded.width()) * decoded.height() > MaxDecodedPixels)
        return fail(tooLarge);

    std::optional<SourceRows> rows;
    QImage whole;
    if (reader.format() == "jpeg" && covers(decoded)) {
        auto jpeg = std::make_unique<JpegRows>(bytes);
        // A progressive file is held whole while it is decoded.
        if (jpeg->isProgressive() && qint64(full.width()) * full.height() > MaxDecodedPixels)
            return fail(tooLarge);
        if (jpeg->start(reduction))
            rows.emplace(std::move(jpeg));
        else if (jpeg->failed())
            return fail(notPicture);
    }
    if (!rows) {
        // The decoders would fill what is missing with grey; streamed JPEG
        // rows notice that themselves.
        if (!pictureLooksComplete(bytes, reader.format()))
            return fail(notPicture);
        if (decoded != full)
            reader.setScaledSize(decoded);
        if (!reader.read(&whole) || whole.isNull())
            return fail(notPicture);
        whole = whole.convertToFormat(whole.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                              : QImage::Format_RGB32);
        if (whole.format() == QImage::Format_RGB32 && covers(whole.size())) {
            rows.emplace(std::move(whole));
            whole = QImage();
        }
    }

    QStringList written;
    const auto failWriting = [&](const QString &reason) {
        // Leave no part of a puzzle behind.
        for (const QString &file : std::as_const(written))
            QFile::remove(file);
        return fail(reason);
    };

    // The preview image, and the inner picture of the puzzle: shrunk by area
    // from the rows as they come, or (enlarging, transparent parts) scaled
    // from the whole picture.
    ThumbHeight = thumbSize.height();
    QImage thumb;
    QImage innerScaled;
    std::optional<AreaScaler> thumbScaler, innerScaler;
    int thumbRow = 0;
    if (rows) {
        thumb = QImage(thumbSize, QImage::Format_RGB32);
        thumbScaler.emplace(rows->size(), thumbSize);
        if (!inner.isEmpty())
            innerScaler.emplace(rows->size(), inner);
    } else {
        thumb = opaque(whole.scaled(thumbSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        if (!inner.isEmpty())
            innerScaled = whole.scaled(inner, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        whole = QImage();
    }
    // Takes one more source row into both scalings; false when there is
    // none (the end, or broken data). `innerDone` gets an inner row it completes.
    const auto feed = [&](const uchar *&innerDone) {
        const uchar *row = rows->next();
        if (!row)
            return false;
        if (const uchar *done = thumbScaler->addRow(row))
            std::memcpy(thumb.scanLine(thumbRow++), done, size_t(thumbSize.width()) * 4);
        if (innerScaler)
            innerDone = innerScaler->addRow(row);
        return true;
    };
    const auto nextInnerRow = [&](uchar *out) {
        const uchar *done = nullptr;
        while (!done && feed(done)) { }
        if (done)
            std::memcpy(out, done, size_t(inner.width()) * 4);
    };

    // Pieces: equal u x v rectangles of the puzzle picture; the columns and
    // rows that do not divide evenly belong to none. The picture is drawn one
    // row of pieces at a time into one reused band, and each piece copied
    // out of it into one reused piece picture.
    const int u = int(double(W) / PiecesHor);
    const int v = int(double(H) / PiecesVer);
    const bool writePieces = imgType.compare(QLatin1String("jpg"), Qt::CaseInsensitive) == 0;
    QImage band;
    QImage piece;
    std::optional<FramedPicture> framed;
    if (writePieces) {
        band = QImage(W, v, QImage::Format_RGB32);
        piece = QImage(u, v, QImage::Format_RGB32);
        if (band.isNull() || piece.isNull())
            return fail(tooLarge);
        framed.emplace(QSize(W, H), B, inner, BorderColor, MsgInfo, band,
                       rows ? std::function<void(uchar *)>(nextInnerRow) : nullptr,
                       std::move(innerScaled));
    }

    QString puzzleFiles;
    QSet<QString> taken;
    EventPump pump;
    for (int j = 0; j < PiecesVer; ++j) {
        if (writePieces) {
            framed->draw(band, j * v);
            if (rows && rows->failed())
                return failWriting(notPicture);
            puzzleRowsDrawn(band, j * v);
        }
        for (int i = 0; i < PiecesHor; ++i) {
            const QString key
                = PathToImage + QString::number(i) + QLatin1Char('-') + QString::number(j);
            QString name = CryptFileName(key);
            // Two keys may share their digits; a later piece must not
            // overwrite an earlier one, so it gets a name derived further.
            // Short names can run out.
            for (int n = 1; taken.contains(name); ++n) {
                if (n > MaxRenames)
                    return failWriting(QStringLiteral("no free piece name for %1").arg(key));
                name = pieceName(key + QLatin1Char('~') + QString::number(n), LengthFileName);
            }
            taken.insert(name);
            puzzleFiles += name;
            if (writePieces) {
                copyPiece(band, i * u, piece);
                const QString path = PathToStore + name + QLatin1Char('.') + imgType;
                if (!writeJpeg(piece, path, JpgQuality))
                    return failWriting(QStringLiteral("cannot write %1").arg(path));
                written << path;
            }
            pump.tick();
        }
        pump.tick();
    }
    framed.reset();
    band = QImage();
    piece = QImage();

    // The rest of the source, below the last row of pieces, for the preview.
    if (rows) {
        const uchar *ignored = nullptr;
        while (!thumbScaler->finished() && feed(ignored)) { }
        if (rows->failed() || !thumbScaler->finished())
            return failWriting(notPicture);
    }
    const QString thumbFileName = QStringLiteral("preview.jpg");
    const QString thumbPath = PathToStore + thumbFileName;
    if (!writeJpeg(thumb, thumbPath, JpgQuality))
        return failWriting(QStringLiteral("cannot write %1").arg(thumbPath));
    written << thumbPath;
    thumb = QImage();
    rows.reset();
    buffer.close();
    imageFile.close();

    const QByteArray text = pageText(u, v, puzzleFiles, thumbFileName);

    // Written last and whole, so a failed run never leaves a page behind.
    const QString pagePath = PathToStore + QStringLiteral("puzzle.htm");
    QSaveFile page(pagePath);
    if (!page.open(QIODevice::WriteOnly) || page.write(text) != text.size() || !page.commit())
        return failWriting(QStringLiteral("cannot write %1").arg(pagePath));

    HtmlCode = text;
    ThumbFileName = thumbFileName;
    PuzzleFiles = puzzleFiles;
    PuzzleFileName = QUrl::fromLocalFile(QFileInfo(pagePath).absoluteFilePath()).toString();
    return PuzzleFileName;
}
