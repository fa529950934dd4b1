#include "TestRegistry.h"
#include "TestableCreator.h"

#include <QCoreApplication>
#include <QFile>
#include <QImageReader>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

class TestCreateCommand : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_cli;

private slots:
    void initTestCase()
    {
        // Tests land in <build>/tests/bin, programs in <build>/bin.
        m_cli = QCoreApplication::applicationDirPath() + QStringLiteral("/../../bin/pictavia-cli");
        QVERIFY2(QFile::exists(m_cli), qPrintable(m_cli));
        QVERIFY(m_dir.isValid());
        QVERIFY(patternImage(800, 600).save(m_dir.filePath(QStringLiteral("photo.jpg"))));
        QFile text(m_dir.filePath(QStringLiteral("notes.txt")));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("not a picture\n");
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("runtime")));
        QFile::setPermissions(m_dir.filePath(QStringLiteral("runtime")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void create_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QSize>("piece"); // of a successful run
        QTest::addColumn<int>("pieces");
        const QString image = QStringLiteral("IMAGE");
        const QString out = QStringLiteral("OUT");
        QTest::newRow("defaults: 640x480 in 6x6")
            << QStringList { image, out } << 0 << QSize(106, 80) << 36;
        QTest::newRow("pieces and size")
            << QStringList { image, out, QStringLiteral("--pieces"), QStringLiteral("4x3"),
                             QStringLiteral("--size=300x200") }
            << 0 << QSize(75, 66) << 12;
        QTest::newRow("fit like the preview")
            << QStringList { image, out, QStringLiteral("--fit"), QStringLiteral("614x350") } << 0
            << QSize(77, 58) << 36;
        QTest::newRow("missing image")
            << QStringList { QStringLiteral("absent.jpg"), out } << 1 << QSize() << 0;
        QTest::newRow("missing image with fit")
            << QStringList { QStringLiteral("absent.jpg"), out, QStringLiteral("--fit"),
                             QStringLiteral("614x350") }
            << 1 << QSize() << 0;
        QTest::newRow("not a picture")
            << QStringList { QStringLiteral("notes.txt"), out } << 1 << QSize() << 0;
        QTest::newRow("missing folder")
            << QStringList { image, QStringLiteral("absent") } << 1 << QSize() << 0;
        QTest::newRow("no arguments") << QStringList {} << 2 << QSize() << 0;
        QTest::newRow("no folder") << QStringList { image } << 2 << QSize() << 0;
        QTest::newRow("three paths") << QStringList { image, out, out } << 2 << QSize() << 0;
        QTest::newRow("no pieces")
            << QStringList { image, out, QStringLiteral("--pieces"), QStringLiteral("0x3") } << 2
            << QSize() << 0;
        QTest::newRow("too many pieces")
            << QStringList { image, out, QStringLiteral("--pieces"), QStringLiteral("21x2") } << 2
            << QSize() << 0;
        QTest::newRow("size and fit") << QStringList { image,
                                                       out,
                                                       QStringLiteral("--size"),
                                                       QStringLiteral("300x200"),
                                                       QStringLiteral("--fit"),
                                                       QStringLiteral("300x200") }
                                      << 2 << QSize() << 0;
        QTest::newRow("size not WxH")
            << QStringList { image, out, QStringLiteral("--size"), QStringLiteral("big") } << 2
            << QSize() << 0;
        QTest::newRow("option without value")
            << QStringList { image, out, QStringLiteral("--pieces") } << 2 << QSize() << 0;
        QTest::newRow("unknown option")
            << QStringList { image, out, QStringLiteral("--colour"), QStringLiteral("red") } << 2
            << QSize() << 0;
    }
    // Success prints the page's URL alone; failure one line of reason and
    // exit 1; wrong usage exit 2. Nothing is written unless it succeeds.
    void create()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QSize, piece);
        QFETCH(int, pieces);
        const QString out = m_dir.filePath(QStringLiteral("out"));
        QDir(out).removeRecursively();
        QVERIFY(QDir().mkpath(out));
        for (QString &arg : args) {
            if (arg == QLatin1String("IMAGE"))
                arg = m_dir.filePath(QStringLiteral("photo.jpg"));
            else if (arg == QLatin1String("OUT"))
                arg = out;
        }
        args.prepend(QStringLiteral("create"));

        QProcess cli;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.filePath(QStringLiteral("runtime")));
        cli.setProcessEnvironment(env);
        cli.setWorkingDirectory(m_dir.path());
        cli.start(m_cli, args);
        QVERIFY(cli.waitForFinished(60000));
        const QString stdOut = QString::fromUtf8(cli.readAllStandardOutput());
        const QString stdErr = QString::fromUtf8(cli.readAllStandardError());
        QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
        QVERIFY2(cli.exitCode() == exitCode, qPrintable(stdErr));

        if (exitCode != 0) {
            QVERIFY(stdOut.isEmpty());
            QVERIFY(!stdErr.isEmpty());
            if (exitCode == 1)
                QCOMPARE(stdErr.count(QLatin1Char('\n')), 1);
            QVERIFY(QDir(out).isEmpty());
            return;
        }
        const QString page = out + QStringLiteral("/puzzle.htm");
        QCOMPARE(stdOut, QUrl::fromLocalFile(page).toString() + QLatin1Char('\n'));
        QVERIFY(stdErr.isEmpty());
        const QStringList files = QDir(out).entryList({ QStringLiteral("*.jpg") }, QDir::Files);
        QCOMPARE(files.size(), pieces + 1);
        const QString name
            = files.first() == QLatin1String("preview.jpg") ? files.last() : files.first();
        QCOMPARE(QImageReader(out + QLatin1Char('/') + name).size(), piece);
    }
};
PICTAVIA_TEST(TestCreateCommand)

#include "tst_cli.moc"
