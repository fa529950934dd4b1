#include "TCompactra.h"
#include "TestRegistry.h"
#include "TestableCreator.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

namespace {

// A 16 x 12 GIF of eight colours.
const QByteArray TinyGif = QByteArray::fromHex(
    "4749463839611000 0c00f10000e80017 a2005d5d00a21700 e821f90400000000 002c000000001000"
    "0c0000022d848fa9 8b916e1c04325449 a9ddbc7b2b6ca118 08a1799a25baa2ee 6b0e823cd7a88ccf"
    "03bef7bc0f0c0a87 bb02003b");

QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, format == QByteArrayLiteral("jpg") ? 95 : -1);
    return bytes;
}

QByteArray bigEndian(quint32 value)
{
    return QByteArray(1, char(value >> 24)) + char(value >> 16) + char(value >> 8) + char(value);
}

quint32 crc32(const QByteArray &bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char c : bytes) {
        crc ^= quint8(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// A PNG whose header claims 100000 x 100000 pixels.
QByteArray absurdPng()
{
    const auto chunk = [](const QByteArray &type, const QByteArray &data) {
        return bigEndian(quint32(data.size())) + type + data + bigEndian(crc32(type + data));
    };
    const QByteArray ihdr = QByteArray::fromHex("000186a0000186a00802000000");
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", ihdr)
        + chunk("IDAT", QByteArray(64, '\0')) + chunk("IEND", {});
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

double meanDifference(const QImage &a, const QImage &b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    if (x.size() != y.size())
        return 255;
    qint64 total = 0;
    for (int r = 0; r < x.height(); ++r) {
        const auto *p = reinterpret_cast<const QRgb *>(x.constScanLine(r));
        const auto *q = reinterpret_cast<const QRgb *>(y.constScanLine(r));
        for (int c = 0; c < x.width(); ++c) {
            total += qAbs(qRed(p[c]) - qRed(q[c])) + qAbs(qGreen(p[c]) - qGreen(q[c]))
                + qAbs(qBlue(p[c]) - qBlue(q[c]));
        }
    }
    return double(total) / (3.0 * x.width() * x.height());
}

} // namespace

class TestPuzzleCreator : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_image; // a 400 x 300 JPEG with sharp structure

    QString makeFolder(const QString &name)
    {
        const QString path = m_dir.filePath(name);
        QDir().mkpath(path);
        return path + QLatin1Char('/');
    }

    void prepare(TestableCreator &creator, const QString &folder, int w, int h, int cols, int rows)
    {
        creator.PathToImage = m_image;
        creator.PathToStore = folder;
        creator.PuzzleWidth = w;
        creator.PuzzleHeight = h;
        creator.PiecesHor = cols;
        creator.PiecesVer = rows;
    }

    static QStringList names(const TPuzzleCreator &creator)
    {
        QStringList out;
        for (qsizetype at = 0; at < creator.PuzzleFiles.size(); at += creator.LengthFileName)
            out << creator.PuzzleFiles.mid(at, creator.LengthFileName);
        return out;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_image = m_dir.filePath(QStringLiteral("source.jpg"));
        QVERIFY(patternImage(400, 300).save(m_image, "jpg", 95));
    }

    void sizesAndPieces_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QSize>("grid");
        QTest::addColumn<QSize>("piece");
        QTest::newRow("640x480 in 6x6") << QSize(640, 480) << QSize(6, 6) << QSize(106, 80);
        QTest::newRow("one piece") << QSize(300, 200) << QSize(1, 1) << QSize(300, 200);
        QTest::newRow("20x20") << QSize(400, 300) << QSize(20, 20) << QSize(20, 15);
        QTest::newRow("nothing divides") << QSize(333, 251) << QSize(7, 5) << QSize(47, 50);
        QTest::newRow("wide grid") << QSize(466, 350) << QSize(20, 3) << QSize(23, 116);
    }
    // Every piece is u x v and shows its own rectangle of the puzzle
    // picture; the page gets the sizes.
    void sizesAndPieces()
    {
        QFETCH(QSize, size);
        QFETCH(QSize, grid);
        QFETCH(QSize, piece);
        const QString out = makeFolder(QString::fromLatin1(QTest::currentDataTag()));
        TestableCreator creator;
        prepare(creator, out, size.width(), size.height(), grid.width(), grid.height());
        creator.JpgQuality = 100;
        creator.useTemplateOverride = true;
        creator.templateOverride = "$puzzlewidth $puzzleheight $piecewidth $pieceheight $piecehor "
                                   "$piecever $puzzlewidth $puzzleheight";

        QVERIFY(!creator.Create().isEmpty());
        QCOMPARE(creator.picture.size(), size);
        // The picture shows the whole image in its frame (above the caption).
        const QSize inner(int(size.width() - 11.0), int(size.height() - 11.0));
        const QImage scaled
            = QImage(m_image).scaled(inner, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        const int above = inner.height() - 25;
        QVERIFY(meanDifference(creator.picture.copy(5, 5, inner.width(), above),
                               scaled.copy(0, 0, inner.width(), above))
                < 3.0);
        const QString values = QStringLiteral("%1 %2 %3 %4 %5 %6 %1 %2")
                                   .arg(size.width())
                                   .arg(size.height())
                                   .arg(piece.width())
                                   .arg(piece.height())
                                   .arg(grid.width())
                                   .arg(grid.height());
        QCOMPARE(QString::fromUtf8(creator.HtmlCode), values);

        const int count = grid.width() * grid.height();
        QCOMPARE(creator.PuzzleFiles.size(), count * 6);
        const QStringList pieceNames = names(creator);
        QCOMPARE(QSet<QString>(pieceNames.begin(), pieceNames.end()).size(), count);
        // Piece files, the preview and the page, nothing else.
        QCOMPARE(QDir(out).entryList(QDir::Files).size(), count + 2);

        for (int j = 0; j < grid.height(); ++j) {
            for (int i = 0; i < grid.width(); ++i) {
                const QString name = pieceNames.at(j * grid.width() + i);
                const QImage decoded(out + name + QStringLiteral(".jpg"));
                QCOMPARE(decoded.size(), piece);
                // JPEG changes sharp edges a little; one pixel off changes them more.
                const auto diffAt = [&](int dx, int dy) {
                    return meanDifference(decoded,
                                          creator.picture.copy(i * piece.width() + dx,
                                                               j * piece.height() + dy,
                                                               piece.width(), piece.height()));
                };
                const double diff = diffAt(0, 0);
                QVERIFY2(diff < 12.0, qPrintable(QString::number(diff)));
                if (i > 0)
                    QVERIFY(diff < diffAt(-1, 0));
                if (j > 0)
                    QVERIFY(diff < diffAt(0, -1));
            }
        }
    }

    // The frame is B wide on the left and top and about 1.2 x B on the right
    // and bottom; the caption sits in the bottom frame.
    void frameAndCaption()
    {
        QImage blue(800, 600, QImage::Format_RGB32);
        blue.fill(QColor(0, 0, 255));
        const QString source = m_dir.filePath(QStringLiteral("blue.png"));
        QVERIFY(blue.save(source));
        TestableCreator creator;
        prepare(creator, makeFolder(QStringLiteral("frame")), 400, 300, 2, 2);
        creator.PathToImage = source;
        creator.BorderColor = QColor(255, 0, 0);
        QVERIFY(!creator.Create().isEmpty());

        const QImage &p = creator.picture;
        const QRgb red = qRgb(255, 0, 0), inside = qRgb(0, 0, 255);
        // Inner rectangle: (5, 5), 400 - 11 = 389 wide, 300 - 11 = 289 high.
        QCOMPARE(p.pixel(4, 100), red);
        QCOMPARE(p.pixel(5, 100), inside);
        QCOMPARE(p.pixel(393, 100), inside);
        QCOMPARE(p.pixel(394, 100), red);
        QCOMPARE(p.pixel(100, 4), red);
        QCOMPARE(p.pixel(100, 5), inside);
        QCOMPARE(p.pixel(100, 293), inside);
        QCOMPARE(p.pixel(100, 294), red);

        int white = 0;
        for (int y = 280; y < 300; ++y) {
            for (int x = 0; x < 400; ++x)
                white += p.pixel(x, y) == qRgb(255, 255, 255);
        }
        QVERIFY2(white > 20, "no caption in the bottom frame");
        // Right-aligned 2 x B from the right edge.
        for (int y = 280; y < 300; ++y) {
            for (int x = 390; x < 400; ++x)
                QVERIFY(p.pixel(x, y) != qRgb(255, 255, 255));
        }
    }

    // Names are the first six digits of the MD5 of path + column + "-" + row,
    // row by row; the same path gives the same names, another path others.
    void namesFollowKeys()
    {
        TestableCreator creator;
        prepare(creator, makeFolder(QStringLiteral("names")), 200, 150, 4, 3);
        QVERIFY(!creator.Create().isEmpty());
        QStringList expected;
        for (int j = 0; j < 3; ++j) {
            for (int i = 0; i < 4; ++i) {
                const QByteArray key
                    = (m_image + QString::number(i) + QLatin1Char('-') + QString::number(j))
                          .toUtf8();
                expected << QString::fromLatin1(
                    QCryptographicHash::hash(key, QCryptographicHash::Md5).toHex().left(6));
            }
        }
        QCOMPARE(names(creator), expected);

        const QString first = creator.PuzzleFiles;
        QVERIFY(!creator.Create().isEmpty());
        QCOMPARE(creator.PuzzleFiles, first);

        const QString copy = m_dir.filePath(QStringLiteral("copy.jpg"));
        QVERIFY(QFile::copy(m_image, copy));
        creator.PathToImage = copy;
        QVERIFY(!creator.Create().isEmpty());
        QVERIFY(creator.PuzzleFiles != first);
    }

    void collidingNamesStayUnique_data()
    {
        QTest::addColumn<int>("digits");
        QTest::newRow("all the same") << 0;
        QTest::newRow("sixteen values") << 1;
    }
    // A name already taken in the puzzle is derived anew, so no piece file
    // overwrites another; the names stay six lower-case digits and stable.
    void collidingNamesStayUnique()
    {
        QFETCH(int, digits);
        const QString out = makeFolder(QStringLiteral("collide%1").arg(digits));
        TestableCreator creator;
        prepare(creator, out, 300, 200, 6, 6);
        creator.significantDigits = digits;
        QVERIFY(!creator.Create().isEmpty());

        const QStringList first = names(creator);
        QCOMPARE(first.size(), 36);
        QCOMPARE(QSet<QString>(first.begin(), first.end()).size(), 36);
        static const QRegularExpression form(QStringLiteral("^[0-9a-f]{6}$"));
        for (const QString &name : first) {
            QVERIFY2(form.match(name).hasMatch(), qPrintable(name));
            QVERIFY(QFile::exists(out + name + QStringLiteral(".jpg")));
        }
        QCOMPARE(first.first(), creator.CryptFileName(m_image + QStringLiteral("0-0")));
        QCOMPARE(QDir(out).entryList(QDir::Files).size(), 38);

        QVERIFY(!creator.Create().isEmpty());
        QCOMPARE(names(creator), first);
    }

    void placeholdersAndMarkers_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("one width leaves the second step nothing")
            << QByteArray("$puzzlewidth|$puzzleheight|$puzzleheight") << QByteArray("64|48|48");
        QTest::newRow("a third width stays") << QByteArray("$puzzlewidth $puzzlewidth $puzzlewidth")
                                             << QByteArray("64 64 $puzzlewidth");
        QTest::newRow("a second title stays")
            << QByteArray("$title $title") << QByteArray("Kalvoro $title");
        QTest::newRow("time label everywhere")
            << QByteArray("$msgtimeprocess/$msgtimeprocess/$msgtimeprocess")
            << QByteArray("Time of game, sec/Time of game, sec/Time of game, sec");
        QTest::newRow("every other value once")
            << QByteArray("$piecewidth $pieceheight $piecehor $piecever $ext $framecolor "
                          "$msgcongratul|$msgtimestart|$msgstartagain $piecehor")
            << QByteArray("32 24 2 2 jpg CCCCCC Congratulation! You did it in |Timer will "
                          "started with a first click|Start again $piecehor");
        QTest::newRow("preview row")
            << QByteArray("<table>$thumbimg</table>")
            << QByteArray("<table><tr><td align=\"center\"><img src=\"preview.jpg\" alt=\"Original "
                          "image\" width=\"100\"></td></tr></table>");
        QTest::newRow("no start marker")
            << QByteArray("a\n//compactra_end\nb") << QByteArray("a\n//compactra_end\nb");
        QTest::newRow("end before start")
            << QByteArray("//compactra_end\nx\n//compactra_start\n$piecehor")
            << QByteArray("//compactra_end\nx\n//compactra_start\n2");
        QTest::newRow("start without end") << QByteArray("//compactra_start\nvar a = 1;")
                                           << QByteArray("//compactra_start\nvar a = 1;");
        QTest::newRow("bytes pass unchanged")
            << QByteArray("\xc3\xa9t\xc3\xa9\r\n$title\r\n\t\x01")
            << QByteArray("\xc3\xa9t\xc3\xa9\r\nKalvoro\r\n\t\x01");
    }
    void placeholdersAndMarkers()
    {
        QFETCH(QByteArray, page);
        QFETCH(QByteArray, expected);
        const QString out = makeFolder(QStringLiteral("template"));
        TestableCreator creator;
        prepare(creator, out, 64, 48, 2, 2);
        creator.useTemplateOverride = true;
        creator.templateOverride = page;
        QVERIFY(!creator.Create().isEmpty());
        QCOMPARE(creator.HtmlCode, expected);
        QFile written(out + QStringLiteral("puzzle.htm"));
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), expected);
    }

    // The stretch between the markers, filled in, goes through the
    // compressor; markers and stretch are replaced by its result.
    void markedScriptIsCompressed()
    {
        TestableCreator creator;
        prepare(creator, makeFolder(QStringLiteral("compress")), 64, 48, 2, 2);
        creator.useTemplateOverride = true;
        creator.templateOverride = "<script>\n//compactra_start\nvar w = $puzzlewidth;\n"
                                   "//compactra_end\n</script>//compactra_end";
        QVERIFY(!creator.Create().isEmpty());
        QCOMPARE(creator.HtmlCode,
                 "<script>\n" + TCompactra().CompressJS("\nvar w = 64;\n", "kv")
                     + "\n</script>//compactra_end");
    }

    void frameColour_data()
    {
        QTest::addColumn<QColor>("colour");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("default") << QColor(204, 204, 204) << QByteArray("CCCCCC");
        QTest::newRow("0,10,255") << QColor(0, 10, 255) << QByteArray("000AFF");
        QTest::newRow("15,16,9") << QColor(15, 16, 9) << QByteArray("0F1009");
    }
    void frameColour()
    {
        QFETCH(QColor, colour);
        QFETCH(QByteArray, text);
        TestableCreator creator;
        prepare(creator, makeFolder(QStringLiteral("colour")), 64, 48, 1, 1);
        creator.useTemplateOverride = true;
        creator.templateOverride = "#$framecolor;";
        creator.FrameColor = colour;
        QVERIFY(!creator.Create().isEmpty());
        QCOMPARE(creator.HtmlCode, "#" + text + ";");
    }

    // With the shipped template nothing of the table is left in the page,
    // and the page on disk is the text kept for the upload.
    void realTemplateAndResults()
    {
        const QString out = makeFolder(QStringLiteral("real"));
        TestableCreator creator;
        prepare(creator, out, 640, 480, 6, 6);
        QVERIFY(!creator.templateText().isEmpty());
        const QString url = creator.Create();

        const QString page = out + QStringLiteral("puzzle.htm");
        QCOMPARE(url, QUrl::fromLocalFile(page).toString());
        QCOMPARE(creator.PuzzleFileName, url);
        QFile written(page);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), creator.HtmlCode);
        for (const char *placeholder :
             { "$title", "$puzzlewidth", "$puzzleheight", "$piecewidth", "$pieceheight",
               "$piecehor", "$piecever", "$pictures", "$ext", "$framecolor", "$msgcongratul",
               "$msgtimestart", "$msgstartagain", "$msgtimeprocess", "$thumbimg" })
            QVERIFY2(!creator.HtmlCode.contains(placeholder), placeholder);

        QFile source(m_image);
        QVERIFY(source.open(QIODevice::ReadOnly));
        QCOMPARE(creator.md5picture,
                 QString::fromLatin1(
                     QCryptographicHash::hash(source.readAll(), QCryptographicHash::Md5).toHex()));
        QCOMPARE(creator.ThumbFileName, QStringLiteral("preview.jpg"));
        QCOMPARE(creator.ThumbHeight, 75);
        QCOMPARE(QImageReader(out + QStringLiteral("preview.jpg")).size(), QSize(100, 75));
    }

    // A folder named without its trailing separator gets it; the files land
    // inside it, not beside it.
    void folderWithoutSeparator()
    {
        const QString out = makeFolder(QStringLiteral("bare"));
        const QStringList around = listing(m_dir.path());
        TestableCreator creator;
        prepare(creator, out.chopped(1), 64, 48, 2, 2);
        const QString url = creator.Create();
        QCOMPARE(url, QUrl::fromLocalFile(out + QStringLiteral("puzzle.htm")).toString());
        QCOMPARE(creator.PathToStore, out);
        QCOMPARE(QDir(out).entryList(QDir::Files).size(), 6);
        QCOMPARE(listing(m_dir.path()), around);
    }

    void badInput_data()
    {
        QTest::addColumn<QString>("kind");
        for (const char *kind : { "missing file",
                                  "folder as image",
                                  "empty file",
                                  "text file",
                                  "truncated jpeg",
                                  "truncated png",
                                  "truncated gif",
                                  "truncated bmp",
                                  "absurd png",
                                  "absurd jpeg",
                                  "unreadable file",
                                  "missing folder",
                                  "no folder",
                                  "folder is a file",
                                  "page cannot be written",
                                  "preview cannot be written",
                                  "zero size",
                                  "more pieces than pixels",
                                  "no pieces",
                                  "negative border",
                                  "names run out" })
            QTest::newRow(kind) << QString::fromLatin1(kind);
    }
    // Whatever is wrong, the result is empty, the output folder is as it was
    // and the results of the last good run stay for the upload.
    void badInput()
    {
        QFETCH(QString, kind);
        QDir(m_dir.filePath(QStringLiteral("bad"))).removeRecursively();
        const QString out = makeFolder(QStringLiteral("bad"));
        TestableCreator creator;
        prepare(creator, makeFolder(QStringLiteral("good")), 64, 48, 2, 2);
        QVERIFY(!creator.Create().isEmpty());
        const QString files = creator.PuzzleFiles;
        const QString pageUrl = creator.PuzzleFileName;

        writeFile(out + QStringLiteral("keep.txt"), "not ours");
        const QString image = m_dir.filePath(QStringLiteral("bad-input"));
        QFile::remove(image);
        creator.PathToImage = image;
        creator.PathToStore = out;
        const QImage picture = patternImage(120, 90);
        if (kind == QLatin1String("missing file")) {
        } else if (kind == QLatin1String("folder as image")) {
            creator.PathToImage = m_dir.path();
        } else if (kind == QLatin1String("empty file")) {
            QVERIFY(writeFile(image, {}));
        } else if (kind == QLatin1String("text file")) {
            QVERIFY(writeFile(image, "just some words\n"));
        } else if (kind.startsWith(QLatin1String("truncated"))) {
            const QByteArray whole = kind.endsWith(QLatin1String("gif"))
                ? TinyGif
                : encoded(picture, kind.mid(10).toLatin1().constData());
            QVERIFY(QImage::fromData(whole).isNull() == false);
            QVERIFY(writeFile(image, whole.left(whole.size() * 2 / 3)));
        } else if (kind == QLatin1String("absurd png")) {
            QVERIFY(writeFile(image, absurdPng()));
            QCOMPARE(QImageReader(image).size(), QSize(100000, 100000));
        } else if (kind == QLatin1String("absurd jpeg")) {
            // The frame header of a real JPEG made to claim 60000 x 60000.
            QByteArray bytes = encoded(picture, "jpg");
            const qsizetype frame = bytes.indexOf("\xFF\xC0");
            QVERIFY(frame > 0);
            bytes.replace(frame + 5, 4, QByteArray::fromHex("ea60ea60"));
            QVERIFY(writeFile(image, bytes));
            QCOMPARE(QImageReader(image).size(), QSize(60000, 60000));
        } else if (kind == QLatin1String("unreadable file")) {
            QVERIFY(writeFile(image, encoded(picture, "png")));
            QFile::setPermissions(image, {});
            if (QFile(image).open(QIODevice::ReadOnly))
                QSKIP("permissions do not bind this user");
        } else {
            QVERIFY(writeFile(image, encoded(picture, "png")));
            if (kind == QLatin1String("missing folder"))
                creator.PathToStore = out + QStringLiteral("not-there/");
            else if (kind == QLatin1String("no folder"))
                creator.PathToStore.clear();
            else if (kind == QLatin1String("folder is a file"))
                creator.PathToStore = out + QStringLiteral("keep.txt");
            else if (kind == QLatin1String("page cannot be written"))
                QVERIFY(QDir(out).mkdir(QStringLiteral("puzzle.htm")));
            else if (kind == QLatin1String("preview cannot be written"))
                QVERIFY(QDir(out).mkdir(QStringLiteral("preview.jpg")));
            else if (kind == QLatin1String("zero size"))
                creator.PuzzleWidth = 0;
            else if (kind == QLatin1String("more pieces than pixels"))
                creator.PiecesHor = 65;
            else if (kind == QLatin1String("no pieces"))
                creator.PiecesVer = 0;
            else if (kind == QLatin1String("negative border"))
                creator.BorderSize = -3;
            else if (kind == QLatin1String("names run out")) {
                // Sixteen one-digit names for twenty pieces.
                creator.LengthFileName = 1;
                creator.PiecesHor = 5;
                creator.PiecesVer = 4;
            }
        }
        const QStringList before = listing(out);

        QCOMPARE(creator.Create(), QString());
        QVERIFY(!creator.lastError().isEmpty());
        QCOMPARE(listing(out), before);
        QVERIFY(creator.HtmlCode.isEmpty());
        QCOMPARE(creator.PuzzleFiles, files);
        QCOMPARE(creator.PuzzleFileName, pageUrl);
        QCOMPARE(creator.ThumbFileName, QStringLiteral("preview.jpg"));

        QFile::setPermissions(image, QFile::ReadOwner | QFile::WriteOwner);
    }

    // Whatever the format and however it is decoded (reduced while decoding,
    // streamed, whole), the puzzle shows the picture as Qt's smooth scaling
    // of the whole decoded file would; transparent parts show the frame
    // colour.
    void formats_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QSize>("size");
        const QImage pattern = patternImage(160, 120);
        QTest::newRow("gif, enlarged") << TinyGif << QSize(120, 90);
        QTest::newRow("bmp") << encoded(pattern, "bmp") << QSize(120, 90);
        QTest::newRow("png, enlarged") << encoded(pattern, "png") << QSize(320, 240);
        QTest::newRow("jpeg, reduced by 8 while decoding")
            << encoded(patternImage(1600, 1200), "jpg") << QSize(200, 150);
        QTest::newRow("jpeg, enlarged") << encoded(pattern, "jpg") << QSize(320, 240);
        QTest::newRow("grey jpeg")
            << encoded(pattern.convertToFormat(QImage::Format_Grayscale8), "jpg") << QSize(120, 90);
        QByteArray progressive;
        QBuffer buffer(&progressive);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpeg");
        writer.setProgressiveScanWrite(true);
        writer.setQuality(95);
        QVERIFY(writer.write(patternImage(800, 600)));
        QTest::newRow("progressive jpeg, reduced by 2") << progressive << QSize(300, 200);
        QImage clear(90, 60, QImage::Format_ARGB32);
        clear.fill(Qt::transparent);
        QTest::newRow("transparent png") << encoded(clear, "png") << QSize(120, 90);
    }
    void formats()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QSize, size);
        const QString image = m_dir.filePath(QStringLiteral("other-image"));
        QVERIFY(writeFile(image, bytes));
        TestableCreator creator;
        prepare(creator, makeFolder(QStringLiteral("other")), size.width(), size.height(), 3, 3);
        creator.PathToImage = image;
        creator.BorderColor = QColor(0, 128, 0);
        QVERIFY(!creator.Create().isEmpty());

        const QImage decoded = QImage::fromData(bytes);
        QCOMPARE(QImageReader(creator.PathToStore + QStringLiteral("preview.jpg")).size(),
                 QSize(100, 100 * decoded.height() / decoded.width()));
        if (decoded.hasAlphaChannel()) {
            QCOMPARE(creator.picture.pixel(60, 40), qRgb(0, 128, 0));
            return;
        }
        const QSize inner(size.width() - 11, size.height() - 11);
        const int above = inner.height() - 25;
        const QImage expected
            = decoded.scaled(inner, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        const double diff = meanDifference(creator.picture.copy(5, 5, inner.width(), above),
                                           expected.copy(0, 0, inner.width(), above));
        QVERIFY2(diff < 6.0, qPrintable(QString::number(diff)));
    }

    // Pieces of another type than "jpg" are named and listed, not written.
    void otherPieceType()
    {
        const QString out = makeFolder(QStringLiteral("png-pieces"));
        TestableCreator creator;
        prepare(creator, out, 200, 150, 3, 2);
        creator.imgType = QStringLiteral("png");
        QVERIFY(!creator.Create().isEmpty());
        QCOMPARE(creator.PuzzleFiles.size(), 36);
        QCOMPARE(QDir(out).entryList(QDir::Files),
                 QStringList({ QStringLiteral("preview.jpg"), QStringLiteral("puzzle.htm") }));
    }
};
PICTAVIA_TEST(TestPuzzleCreator)

#include "tst_creator.moc"
