#include "ConfigHome.h"
#include "TestRegistry.h"
#include "ZorenLanguage.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

class TestLanguage : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir dir;

    QString languageFile(const QString &name, const QByteArray &bytes)
    {
        const QString path = dir.filePath(name);
        ConfigHome::writeFile(path, bytes);
        return path;
    }

private slots:
    void get_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("defaultText");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        const QByteArray german("[mainwindow]\ntitle=Fenster\n"
                                "PushButton.PBCreatePuzzle=Puzzle erstellen\n"
                                "[Msg]\nBlank=   \nEmpty=\n");
        QTest::newRow("lower-case header and name") << german << "Main"
                                                    << "MainWindow.Title"
                                                    << "Fenster";
        QTest::newRow("dotted entry name") << german << "Create Puzzle"
                                           << "MainWindow.PushButton.PBCreatePuzzle"
                                           << "Puzzle erstellen";
        QTest::newRow("missing key") << german << "Main"
                                     << "MainWindow.Other"
                                     << "Main";
        QTest::newRow("blank entry") << german << "Default"
                                     << "Msg.Blank"
                                     << "Default";
        QTest::newRow("empty entry") << german << "Default"
                                     << "Msg.Empty"
                                     << "Default";
        QTest::newRow("empty default, missing key") << german << ""
                                                    << "Msg.None"
                                                    << "";
        QTest::newRow("key without section") << QByteArray("Msg=W\xc3\xa4hlen\n") << "Select"
                                             << "Msg" << QString::fromUtf8("W\xc3\xa4hlen");
    }
    void get()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, defaultText);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        ZorenLanguage lang(languageFile("get.lng", file));
        const qsizetype entries = lang.LangSet->Storage.size();
        QCOMPARE(lang.Get(defaultText, key), expected);
        // Lookups only read.
        QCOMPARE(lang.LangSet->Storage.size(), entries);
    }

    void missingFileAnswersDefaults()
    {
        ZorenLanguage lang(dir.filePath("none.lng"));
        QVERIFY(lang.LangSet->Storage.isEmpty());
        QCOMPARE(lang.Get(QStringLiteral("Main"), QStringLiteral("MainWindow.Title")),
                 QStringLiteral("Main"));
    }

    void loadReplaces()
    {
        ZorenLanguage lang(languageFile("first.lng", "[Msg]\nA=erst\nB=nur erst\n"));
        const QString second = languageFile("second.lng", "[msg]\na=zweit\n");
        lang.Load(second);
        QCOMPARE(lang.Get(QStringLiteral("a"), QStringLiteral("Msg.A")), QStringLiteral("zweit"));
        QCOMPARE(lang.Get(QStringLiteral("b"), QStringLiteral("Msg.B")), QStringLiteral("b"));
        QCOMPARE(lang.LangFile, second);
        QCOMPARE(lang.LangSet->StorageName, second);
    }

    void blankNameSelectsDefaultFile()
    {
        ZorenLanguage lang(QStringLiteral(" \t"));
        QCOMPARE(lang.LangFile, QStringLiteral("lang/default.lng"));
        QVERIFY(!lang.LangSet->PrefFolder);
        QCOMPARE(lang.LangSet->filePath(lang.LangFile),
                 QDir(QCoreApplication::applicationDirPath()).filePath("lang/default.lng"));
        QVERIFY(!lang.StoreLang);
    }

    void storeLangWritesBack()
    {
        const QByteArray original("[msg]\nhave=Da\n");
        const QString path = languageFile("store.lng", original);
        {
            ZorenLanguage lang(path);
            lang.Get(QStringLiteral("Default"), QStringLiteral("Msg.Missing"));
        }
        QCOMPARE(ConfigHome::readFile(path), original);
        {
            ZorenLanguage lang(path);
            lang.StoreLang = true;
            QCOMPARE(lang.Get(QStringLiteral("Default"), QStringLiteral("Msg.Missing")),
                     QStringLiteral("Default"));
            QCOMPARE(lang.Get(QStringLiteral("x"), QStringLiteral("Msg.Have")),
                     QStringLiteral("Da"));
            QCOMPARE(lang.Get(QString(), QStringLiteral("Msg.Nothing")), QString());
        }
        QCOMPARE(ConfigHome::readFile(path), QByteArray("[msg]\nhave=Da\nmissing=Default\n\n"));
    }
};
PICTAVIA_TEST(TestLanguage)

#include "tst_language.moc"
