#include "TestRegistry.h"
#include "ZorenGlobal.h"

#include <QCryptographicHash>
#include <QTest>

class TestDigests : public QObject
{
    Q_OBJECT
private slots:
    void md5string_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("digest");
        QTest::newRow("empty") << QByteArray() << "d41d8cd98f00b204e9800998ecf8427e";
        // Its second digest byte is 0x01: bytes below 16 keep their leading zero.
        QTest::newRow("abc") << QByteArray("abc") << "900150983cd24fb0d6963f7d28e17f72";
        QTest::newRow("binary")
            << QByteArray("\x00\xff\x80", 3) << md5HexOf(QByteArray("\x00\xff\x80", 3));
    }
    void md5string()
    {
        QFETCH(QByteArray, input);
        QFETCH(QString, digest);
        QCOMPARE(::md5string(input), digest);
        QCOMPARE(::md5string(input).size(), 32);
    }

    void md5stringOfTextUsesUtf8()
    {
        const QString text = QStringLiteral("/bilder/\u00e9t\u00e9.jpg3-0");
        QCOMPARE(::md5string(text), ::md5string(text.toUtf8()));
    }

    void hex2_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("text");
        for (auto [v, t] : {std::pair{0, "00"}, {9, "09"}, {10, "0A"}, {15, "0F"}, {16, "10"},
                            {204, "CC"}, {255, "FF"}})
            QTest::newRow(t) << v << QString::fromLatin1(t);
    }
    void hex2()
    {
        QFETCH(int, value);
        QFETCH(QString, text);
        QCOMPARE(Hex2(value), text);
    }

private:
    static QString md5HexOf(const QByteArray &bytes)
    {
        // Reference: the textbook per-byte rendering.
        const QByteArray raw = QCryptographicHash::hash(bytes, QCryptographicHash::Md5);
        QString out;
        for (unsigned char b : raw)
            out += QString::number(b, 16).rightJustified(2, QLatin1Char('0'));
        return out;
    }
};
PICTAVIA_TEST(TestDigests)

#include "tst_digests.moc"
