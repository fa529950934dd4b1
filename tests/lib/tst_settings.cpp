#include "ConfigHome.h"
#include "TestRegistry.h"
#include "ZorenSettings.h"

#include <climits>
#include <memory>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTest>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

class TestSettings : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<ConfigHome> home;

    // A store loaded from a file with these bytes.
    std::unique_ptr<ZorenSettings> storeOf(const QByteArray &bytes, const QString &name = "in.ini")
    {
        const QString path = home->path(name);
        ConfigHome::writeFile(path, bytes);
        return std::make_unique<ZorenSettings>(path, true);
    }

private slots:
    void init() { home = std::make_unique<ConfigHome>(); }
    void cleanup() { home.reset(); }

    void reading_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        const QString absent = QStringLiteral("<default>");

        QTest::newRow("split at first =") << QByteArray("[x]\na=b=c\n") << "x.a"
                                          << "b=c";
        QTest::newRow("name keeps its spaces") << QByteArray("[s]\nkey = value\n") << "s.key "
                                               << " value";
        QTest::newRow("trimmed name is another key")
            << QByteArray("[s]\nkey = value\n") << "s.key" << absent;
        QTest::newRow("headers ignore case, later line wins")
            << QByteArray("[MainWindow]\nPos=1\n[mainwindow]\npos=2\n") << "MAINWINDOW.Pos"
            << "2";
        QTest::newRow("before first header, bare key")
            << QByteArray("Language=fr.lng\n[a]\nb=c\n") << "language"
            << "fr.lng";
        QTest::newRow("before first header, common key")
            << QByteArray("Language=fr.lng\n[a]\nb=c\n") << "Common.Language"
            << "fr.lng";
        QTest::newRow("section headed twice adds up")
            << QByteArray("[a]\nx=1\n[b]\ny=2\n[a]\nz=3\n") << "a.x"
            << "1";
        QTest::newRow("line without = reads as absent")
            << QByteArray("[s]\nJustAName\n") << "s.justaname" << absent;
        QTest::newRow("no comment syntax") << QByteArray("; note=1\n") << "; note"
                                           << "1";
        QTest::newRow("blank value reads as absent")
            << QByteArray("[s]\nk=   \n") << "s.k" << absent;
        QTest::newRow("empty header") << QByteArray("[]\nk=v\n") << ".k"
                                      << "v";
        QTest::newRow("header name kept exactly") << QByteArray("  [ a b ]  \nk=v\n") << " a b .k"
                                                  << "v";
        QTest::newRow("dotted header") << QByteArray("[a.b]\nc=d\n") << "a.b.c"
                                       << "d";
        QTest::newRow("lone bracket is an entry") << QByteArray("[\nk=v\n") << "k"
                                                  << "v";
        QTest::newRow("dotted name")
            << QByteArray("[MainWindow]\nMenu.File=Datei\n") << "mainwindow.menu.file"
            << "Datei";
        QTest::newRow("utf-8 text") << QByteArray("[s]\nk=Gr\xc3\xbc\xc3\x9f\x65\n") << "s.k"
                                    << QString::fromUtf8("Gr\xc3\xbc\xc3\x9f\x65");
        QTest::newRow("last line without ending") << QByteArray("[s]\nk=v") << "s.k"
                                                  << "v";

        // Files edited elsewhere.
        QTest::newRow("byte-order mark skipped") << QByteArray("\xEF\xBB\xBF[s]\nk=v\n") << "s.k"
                                                 << "v";
        QTest::newRow("crlf: value without cr") << QByteArray("[s]\r\nk=v\r\n") << "s.k"
                                                << "v";
        QTest::newRow("cr only") << QByteArray("[s]\rk=v\rj=w") << "s.j"
                                 << "w";
        QTest::newRow("mixed endings") << QByteArray("[s]\r\nk=v\nj=w\rl=x\r\n") << "s.l"
                                       << "x";
        QTest::newRow("empty lines between crlf") << QByteArray("[s]\r\n\r\n\r\nk=v\r\n") << "s.k"
                                                  << "v";
        QTest::newRow("nul byte kept")
            << QByteArray("[s]\nk=a\0b\n", 10) << "s.k" << QStringView(u"a\u0000b", 3).toString();
        QTest::newRow("invalid utf-8 does not stop reading")
            << QByteArray("[s]\nk=\xff\xfe\xc3\nz=ok\n") << "s.z"
            << "ok";
    }
    void reading()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        const auto store = storeOf(file);
        const QVariant got = store->Get(key, QStringLiteral("<default>"));
        QCOMPARE(got.toString(), expected);
        QCOMPARE(got.metaType(), QMetaType::fromType<QString>());
    }

    void writing_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("written");

        QTest::newRow("entries before first header go to common")
            << QByteArray("Language=x\n[MainWindow]\nPos=1\n")
            << QByteArray("[common]\nlanguage=x\n\n[mainwindow]\npos=1\n\n");
        QTest::newRow("split at first =")
            << QByteArray("[x]\na=b=c\n") << QByteArray("[x]\na=b=c\n\n");
        QTest::newRow("white space kept")
            << QByteArray("[s]\nkey = value \n") << QByteArray("[s]\nkey = value \n\n");
        QTest::newRow("line without = written with =")
            << QByteArray("[s]\nJustAName\n") << QByteArray("[s]\njustaname=\n\n");
        QTest::newRow("empty header not written")
            << QByteArray("[]\nk=v\n[s]\na=b\n") << QByteArray("[s]\na=b\n\n");
        QTest::newRow("empty names not written")
            << QByteArray("=v\n[s]\n=w\na=b\n") << QByteArray("[s]\na=b\n\n");
        QTest::newRow("section headed twice") << QByteArray("[a]\nx=1\n[b]\ny=2\n[a]\nz=3\n")
                                              << QByteArray("[a]\nx=1\nz=3\n\n[b]\ny=2\n\n");
        QTest::newRow("later line wins, first place kept")
            << QByteArray("[a]\nx=1\ny=2\nX=3\n") << QByteArray("[a]\nx=3\ny=2\n\n");
        QTest::newRow("dotted header")
            << QByteArray("[a.b]\nc=d\n") << QByteArray("[a]\nb.c=d\n\n");
        QTest::newRow("empty file") << QByteArray() << QByteArray();
#ifndef Q_OS_WIN
        QTest::newRow("crlf and bom come back plain")
            << QByteArray("\xEF\xBB\xBF[s]\r\nk=v\r\n") << QByteArray("[s]\nk=v\n\n");
#endif
    }
    void writing()
    {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, written);
        const auto store = storeOf(file);
        store->SaveSettings(QStringLiteral("out.ini"));
        QCOMPARE(ConfigHome::readFile(home->path("out.ini")), written);

        // What was written reads back to the same file.
        ZorenSettings again(QStringLiteral("out.ini"), true);
        again.SaveSettings(QStringLiteral("again.ini"));
        QCOMPARE(ConfigHome::readFile(home->path("again.ini")), written);
    }

    void setNormalisesKeys()
    {
        ZorenSettings store(QStringLiteral("user.ini"), true);
        store.Set(QStringLiteral("Language"), QStringLiteral("lang/default.lng"));
        store.Set(QStringLiteral("MainWindow.Pos"), QStringLiteral("120,80,712,602"));
        store.Set(QStringLiteral("PiecesHor"), 5);
        store.Set(QStringLiteral("MainWindow.State"), 0);
        store.Set(QStringLiteral("MainWindow.Menu.File"), QStringLiteral("x"));
        store.Set(QStringLiteral("mainwindow.POS"), QStringLiteral("1,2,3,4"));
        QCOMPARE(store.Get(QStringLiteral("COMMON.language")).toString(),
                 QStringLiteral("lang/default.lng"));
        store.SaveSettings(QString());
        QCOMPARE(ConfigHome::readFile(home->folder() + "/user.ini"),
                 QByteArray("[common]\nlanguage=lang/default.lng\npieceshor=5\n\n"
                            "[mainwindow]\npos=1,2,3,4\nstate=0\nmenu.file=x\n\n"));
    }

    void typedValuesSurviveSaving_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("int") << QVariant(5) << "5";
        QTest::newRow("zero") << QVariant(0) << "0";
        QTest::newRow("negative") << QVariant(-7) << "-7";
        QTest::newRow("int max") << QVariant(INT_MAX) << "2147483647";
        QTest::newRow("int min") << QVariant(INT_MIN) << "-2147483648";
        QTest::newRow("true") << QVariant(true) << "true";
        QTest::newRow("false") << QVariant(false) << "false";
        QTest::newRow("text") << QVariant(QStringLiteral(" a=b ")) << " a=b ";
    }
    void typedValuesSurviveSaving()
    {
        QFETCH(QVariant, value);
        QFETCH(QString, text);
        ZorenSettings store(QStringLiteral("typed.ini"), true);
        store.Set(QStringLiteral("Section.Key"), value);
        // Held as given, answered as text.
        QCOMPARE(store.Get(QStringLiteral("section.key"), QStringLiteral("<default>")),
                 QVariant(text));
        store.SaveSettings(QString());

        ZorenSettings fresh(QStringLiteral("typed.ini"), true);
        const QVariant got = fresh.Get(QStringLiteral("Section.Key"), QStringLiteral("<default>"));
        QCOMPARE(got, QVariant(text));
        if (value.metaType() == QMetaType::fromType<int>())
            QCOMPARE(got.toInt(), value.toInt());
        if (value.metaType() == QMetaType::fromType<bool>()) {
            QCOMPARE(got.toBool(), value.toBool());
            // The opposite default must not win over a stored false.
            QCOMPARE(fresh.Get(QStringLiteral("Section.Key"), !value.toBool()).toBool(),
                     value.toBool());
        }
    }

    void getAnswersDefaultAsPassed()
    {
        ZorenSettings store(QStringLiteral("none.ini"), true);
        store.Set(QStringLiteral("blank"), QStringLiteral(" \t "));
        store.Set(QStringLiteral("empty"), QString());
        for (const char *name : { "missing", "blank", "empty" }) {
            const QString key = QString::fromLatin1(name);
            QCOMPARE(store.Get(key, 7), QVariant(7));
            QCOMPARE(store.Get(key, true), QVariant(true));
            QVERIFY(!store.Get(key).isValid());
        }
    }

    void readOnlyWritesNothing()
    {
        const auto store = storeOf("[s]\nk=v\n", "ro.ini");
        store->SetReadOnly(true);
        QVERIFY(store->ReadOnly);
        store->Set(QStringLiteral("s.k"), QStringLiteral("changed"));
        store->SaveSettings(QString());
        store->SaveSettings(QStringLiteral("other.ini"));
        QCOMPARE(ConfigHome::readFile(home->path("ro.ini")), QByteArray("[s]\nk=v\n"));
        QVERIFY(!QFileInfo::exists(home->path("other.ini")));
    }

    void loadingMerges()
    {
        const auto store = storeOf("[a]\nx=1\ny=2\n", "first.ini");
        ConfigHome::writeFile(home->path("second.ini"), "[A]\nY=3\nz=4\n");
        store->LoadSettings(home->path("second.ini"));
        QCOMPARE(store->Get(QStringLiteral("a.x")).toString(), QStringLiteral("1"));
        QCOMPARE(store->Get(QStringLiteral("a.y")).toString(), QStringLiteral("3"));
        QCOMPARE(store->Get(QStringLiteral("a.z")).toString(), QStringLiteral("4"));
        QCOMPARE(store->StorageName, home->path("second.ini"));

        // A file that is not there changes nothing.
        store->LoadSettings(home->path("missing.ini"));
        QCOMPARE(store->Storage.size(), 3);
        QCOMPARE(store->StorageName, home->path("missing.ini"));
    }

    void clearKeepsTheRest()
    {
        const auto store = storeOf("[a]\nx=1\n", "c.ini");
        store->Clear();
        QVERIFY(store->Storage.isEmpty());
        QVERIFY(!store->Get(QStringLiteral("a.x")).isValid());
        QCOMPARE(store->StorageName, home->path("c.ini"));
        QVERIFY(store->PrefFolder);
    }

    void fileNames()
    {
        // A blank name is the executable's name plus ".ini" in the preferences folder.
        const QString exe = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
        QDir().mkpath(home->folder());
        ConfigHome::writeFile(home->folder() + "/" + exe + ".ini", "[s]\nk=v\n");
        ZorenSettings store(QStringLiteral("  "), true);
        QCOMPARE(store.StorageName, exe + ".ini");
        QCOMPARE(store.Get(QStringLiteral("s.k")).toString(), QStringLiteral("v"));

        // Saving to another name leaves StorageName; an empty name saves to StorageName.
        store.Set(QStringLiteral("s.k"), QStringLiteral("w"));
        store.SaveSettings(QStringLiteral("copy.ini"));
        QCOMPARE(store.StorageName, exe + ".ini");
        QCOMPARE(ConfigHome::readFile(home->folder() + "/copy.ini"), QByteArray("[s]\nk=w\n\n"));
        store.SaveSettings(QString());
        QCOMPARE(ConfigHome::readFile(home->folder() + "/" + exe + ".ini"),
                 QByteArray("[s]\nk=w\n\n"));

        // Without the preferences flag names are resolved against the program's folder.
        ZorenSettings beside(QStringLiteral("lang/none.lng"), false);
        QCOMPARE(beside.filePath(beside.StorageName),
                 QDir(QCoreApplication::applicationDirPath()).filePath("lang/none.lng"));
        QCOMPARE(beside.filePath(home->path("x.lng")), home->path("x.lng"));
        QVERIFY(beside.Storage.isEmpty());
    }

    void firstSaveCreatesPreferencesFolder()
    {
        const QString config = home->path("not/yet/there");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
        ZorenSettings store(QStringLiteral("first.ini"), true);
        store.Set(QStringLiteral("k"), 1);
        store.SaveSettings(QString());
        QCOMPARE(ConfigHome::readFile(config + "/first.ini"), QByteArray("[common]\nk=1\n\n"));
    }

    void failedSaveKeepsOldFile_data()
    {
        QTest::addColumn<QString>("target");
        QTest::newRow("directory in its place") << "dir.ini";
        QTest::newRow("parent is a regular file") << "plain/settings.ini";
    }
    void failedSaveKeepsOldFile()
    {
        QFETCH(QString, target);
        QDir(home->path(QString())).mkpath("dir.ini");
        ConfigHome::writeFile(home->path("plain"), "old");
        ZorenSettings store(home->path(target), true);
        store.Set(QStringLiteral("k"), QStringLiteral("v"));
        store.SaveSettings(QString());
        QVERIFY(QFileInfo(home->path("dir.ini")).isDir());
        QCOMPARE(ConfigHome::readFile(home->path("plain")), QByteArray("old"));
        QCOMPARE(QDir(home->path(QString())).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList({ "dir.ini", "plain" }));
    }

#ifdef Q_OS_UNIX
    // A full disk: the new file cannot be written completely.
    void failedWriteKeepsOldFile()
    {
        const QByteArray old("[s]\nk=old\n\n");
        const auto store = storeOf(old, "full.ini");
        store->Set(QStringLiteral("s.k"), QString(64 * 1024, u'x'));

        rlimit saved {};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0);
        rlimit small = saved;
        small.rlim_cur = 4096;
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
        store->SaveSettings(QString());
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);

        QCOMPARE(ConfigHome::readFile(home->path("full.ini")), old);
        QCOMPARE(QDir(home->path(QString())).entryList(QDir::Files), QStringList { "full.ini" });
    }
#endif

    void badInput_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<qsizetype>("minimumEntries");

        QRandomGenerator random(20261211);
        QByteArray garbage(1 << 20, Qt::Uninitialized);
        random.fillRange(reinterpret_cast<quint32 *>(garbage.data()), garbage.size() / 4);
        QTest::newRow("binary garbage") << garbage << qsizetype(1);
        QTest::newRow("nul bytes") << QByteArray(4096, '\0') + "=\0\0\n[\0]\n" << qsizetype(1);
        QTest::newRow("lone carriage returns") << QByteArray(100000, '\r') << qsizetype(1);
        QTest::newRow("long line without =") << QByteArray(8 << 20, 'k') << qsizetype(2);
        QTest::newRow("long value") << "[big]\nk=" + QByteArray(8 << 20, 'v') << qsizetype(2);

        // About 50 MB in lines of a kilobyte.
        QByteArray large;
        const int lines = 50 * 1024;
        large.reserve(lines * 1040);
        large += "[large]\n";
        for (int i = 0; i < lines; ++i) {
            large += "key" + QByteArray::number(i) + '=';
            large += QByteArray(1024, char('a' + i % 26));
            large += '\n';
        }
        QTest::newRow("50 MB") << large << qsizetype(lines + 1);
    }
    void badInput()
    {
        QFETCH(QByteArray, file);
        QFETCH(qsizetype, minimumEntries);
        // Whatever comes before, a sound last section still reads.
        file += "\n[end]\nok=yes\n";
        const auto store = storeOf(file);
        QCOMPARE(store->Get(QStringLiteral("end.ok")).toString(), QStringLiteral("yes"));
        QVERIFY(store->Storage.size() >= minimumEntries);
        if (QByteArray(QTest::currentDataTag()) == "50 MB") {
            QCOMPARE(store->Get(QStringLiteral("large.key51199")).toString(),
                     QString(1024, QChar(char16_t(u'a' + 51199 % 26))));
        }
        // What was read can be written and read again.
        if (file.size() < (2 << 20)) {
            store->SaveSettings(QStringLiteral("out.ini"));
            ZorenSettings again(QStringLiteral("out.ini"), true);
            QCOMPARE(again.Get(QStringLiteral("end.ok")).toString(), QStringLiteral("yes"));
        }
    }
};
PICTAVIA_TEST(TestSettings)

#include "tst_settings.moc"
