#include "AreaScaler.h"
#include "PuzzleFit.h"
#include "TestRegistry.h"
#include "TestableCreator.h"

#include <QTest>

class TestScaleAndFit : public QObject
{
    Q_OBJECT

    static QImage shrunk(const QImage &source, QSize size)
    {
        QImage target(size.width() + 4, size.height() + 4, QImage::Format_RGB32);
        target.fill(Qt::red);
        AreaScaler::scaleInto(source, target, QRect(QPoint(2, 2), size));
        return target;
    }

private slots:
    void fit_data()
    {
        QTest::addColumn<QSize>("image");
        QTest::addColumn<QSize>("area");
        QTest::addColumn<QSize>("fitted");
        QTest::newRow("too tall: full height")
            << QSize(800, 600) << QSize(614, 350) << QSize(466, 350);
        QTest::newRow("flat: full width") << QSize(1000, 200) << QSize(614, 350) << QSize(614, 122);
        QTest::newRow("exact") << QSize(640, 480) << QSize(640, 480) << QSize(640, 480);
        // 0.7 in single precision is a little below: 640 x 0.7 gives 447, not 448.
        QTest::newRow("single precision ratio")
            << QSize(10, 7) << QSize(640, 1000) << QSize(640, 447);
        QTest::newRow("portrait") << QSize(3000, 4000) << QSize(614, 350) << QSize(262, 350);
        QTest::newRow("no pixels") << QSize(0, 100) << QSize(614, 350) << QSize();
    }
    void fit()
    {
        QFETCH(QSize, image);
        QFETCH(QSize, area);
        QFETCH(QSize, fitted);
        QCOMPARE(fitPuzzleSize(image, area), fitted);
    }

    // Each target pixel is the average of the source area under it; the
    // rest of the target is left alone.
    void averagesExactly()
    {
        QImage source(4, 2, QImage::Format_RGB32);
        const QRgb colours[]
            = { qRgb(0, 0, 0),    qRgb(100, 40, 8),  qRgb(255, 255, 255), qRgb(1, 3, 5),
                qRgb(20, 40, 60), qRgb(60, 80, 100), qRgb(255, 0, 255),   qRgb(0, 255, 0) };
        for (int k = 0; k < 8; ++k)
            source.setPixel(k % 4, k / 4, colours[k]);
        const QImage out = shrunk(source, QSize(2, 1));
        QCOMPARE(out.pixel(2, 2), qRgb(45, 40, 42));
        QCOMPARE(out.pixel(3, 2), qRgb(128, 128, 129));
        QCOMPARE(out.pixel(1, 2), qRgb(255, 0, 0));
        QCOMPARE(out.pixel(4, 2), qRgb(255, 0, 0));
        QCOMPARE(out.pixel(2, 3), qRgb(255, 0, 0));
    }

    void uniformStaysUniform_data()
    {
        QTest::addColumn<QSize>("from");
        QTest::addColumn<QSize>("to");
        QTest::newRow("slightly") << QSize(2000, 1500) << QSize(1909, 1429);
        QTest::newRow("a third") << QSize(1000, 999) << QSize(333, 333);
        QTest::newRow("to one pixel") << QSize(77, 51) << QSize(1, 1);
        QTest::newRow("same size") << QSize(64, 48) << QSize(64, 48);
    }
    void uniformStaysUniform()
    {
        QFETCH(QSize, from);
        QFETCH(QSize, to);
        QImage source(from, QImage::Format_RGB32);
        source.fill(qRgb(12, 201, 255));
        const QImage out = shrunk(source, to);
        for (int y = 2; y < to.height() + 2; ++y) {
            for (int x = 2; x < to.width() + 2; ++x)
                QCOMPARE(out.pixel(x, y), qRgb(12, 201, 255));
        }
    }

    // Fine stripes shrunk a lot turn grey instead of aliasing into bands.
    void noAliasing_data()
    {
        QTest::addColumn<bool>("vertical");
        QTest::newRow("columns") << true;
        QTest::newRow("rows") << false;
    }
    void noAliasing()
    {
        QFETCH(bool, vertical);
        QImage stripes(1601, 1203, QImage::Format_RGB32);
        for (int y = 0; y < stripes.height(); ++y) {
            for (int x = 0; x < stripes.width(); ++x)
                stripes.setPixel(x, y, ((vertical ? x : y) % 2) ? qRgb(255, 255, 255) : 0);
        }
        const QImage out = shrunk(stripes, QSize(97, 71));
        for (int y = 2; y < 73; ++y) {
            for (int x = 2; x < 99; ++x) {
                const int grey = qGreen(out.pixel(x, y));
                QVERIFY2(grey > 118 && grey < 138, qPrintable(QString::number(grey)));
            }
        }
    }

    // Close to Qt's own smooth scaling of the same picture.
    void closeToSmoothScaling()
    {
        const QImage source = patternImage(1000, 700);
        const QSize size(377, 263);
        const QImage ours = shrunk(source, size).copy(2, 2, size.width(), size.height());
        const QImage qt = source.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                              .convertToFormat(QImage::Format_RGB32);
        qint64 total = 0;
        for (int y = 0; y < size.height(); ++y) {
            for (int x = 0; x < size.width(); ++x) {
                const QRgb a = ours.pixel(x, y), b = qt.pixel(x, y);
                total += qAbs(qRed(a) - qRed(b)) + qAbs(qGreen(a) - qGreen(b))
                    + qAbs(qBlue(a) - qBlue(b));
            }
        }
        const double mean = double(total) / (3.0 * size.width() * size.height());
        QVERIFY2(mean < 2.0, qPrintable(QString::number(mean)));
    }
};
PICTAVIA_TEST(TestScaleAndFit)

#include "tst_scale.moc"
