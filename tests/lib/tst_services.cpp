#include "ConfigHome.h"
#include "TestRegistry.h"
#include "ZorenClass.h"
#include "ZorenGlobal.h"

#include <memory>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

// Services whose language dialog answers a set path instead of asking.
class PickingServices : public ZorenClass
{
public:
    using ZorenClass::ZorenClass;

    QString answer;
    QStringList dialogs;
    QStringList messages;

protected:
    QString chooseLanguageFile(const QString &startFolder, const QString &title,
                               const QString &filter) override
    {
        dialogs << startFolder << title << filter;
        return answer;
    }
    void showMessage(const QString &text) override { messages << text; }
};

class TestServices : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<ConfigHome> home;

    QString languageFile(const QString &name, const QByteArray &bytes)
    {
        const QString path = home->path(name);
        ConfigHome::writeFile(path, bytes);
        return path;
    }
    // Services started with a settings file that names this language file.
    std::unique_ptr<PickingServices> startWithLanguage(const QString &path)
    {
        QDir().mkpath(home->folder());
        ConfigHome::writeFile(home->folder() + "/svc.ini",
                              "[common]\nlanguage=" + path.toUtf8() + "\n");
        return std::make_unique<PickingServices>(QStringLiteral("svc.ini"));
    }
    QByteArray savedSettings() const { return ConfigHome::readFile(home->folder() + "/svc.ini"); }

private slots:
    void init() { home = std::make_unique<ConfigHome>(); }
    void cleanup() { home.reset(); }

    void lng_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("defaultText");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        QTest::newRow("default with line feed") << QByteArray() << "A\nB"
                                                << "Msg.X"
                                                << "A\r\nB";
        QTest::newRow("default with crlf") << QByteArray() << "A\r\nB"
                                           << "Msg.X"
                                           << "A\r\nB";
        QTest::newRow("default with carriage return") << QByteArray() << "A\rB\n"
                                                      << "Msg.X"
                                                      << "A\r\nB\r\n";
        QTest::newRow("default with escaped break") << QByteArray() << "A\\nB"
                                                    << "Msg.X"
                                                    << "A\r\nB";
        QTest::newRow("file text \\n") << QByteArray("[Msg]\nX=Line 1\\nLine 2\n") << "D"
                                       << "Msg.X"
                                       << "Line 1\r\nLine 2";
        QTest::newRow("file text \\N") << QByteArray("[Msg]\nX=Line 1\\NLine 2\n") << "D"
                                       << "Msg.X"
                                       << "Line 1\r\nLine 2";
        QTest::newRow("blank entry") << QByteArray("[Msg]\nX=  \n") << "D"
                                     << "Msg.X"
                                     << "D";
        QTest::newRow("lower-case file") << QByteArray("[msg]\nx=Text\n") << "D"
                                         << "MSG.X"
                                         << "Text";
    }
    void lng()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, defaultText);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        const auto services = startWithLanguage(languageFile("lng.lng", file));
        QCOMPARE(services->Lng(defaultText, key), expected);
    }

    void firstRunWritesLanguageAtClose()
    {
        const QString settings = home->folder() + "/"
            + QFileInfo(QCoreApplication::applicationFilePath()).fileName() + ".ini";
        ZorenClass services;
        QCOMPARE(services.Lang->LangFile, QStringLiteral("lang/default.lng"));
        QCOMPARE(services.Lng(QStringLiteral("Default"), QStringLiteral("Msg.X")),
                 QStringLiteral("Default"));
        services.UserSettings->Set(QStringLiteral("MainWindow.Pos"), QStringLiteral("1,2,3,4"));
        QVERIFY(!QFileInfo::exists(settings));
        services.close();
        QCOMPARE(
            ConfigHome::readFile(settings),
            QByteArray("[mainwindow]\npos=1,2,3,4\n\n[common]\nlanguage=lang/default.lng\n\n"));
    }

    void chosenLanguageUsedAtNextStart()
    {
        const QString french
            = languageFile("fr.lng", "Msg=Choisir\n[Msg]\nHello=Bonjour\nLines=Un\\nDeux\n");
        auto services = std::make_unique<PickingServices>(QStringLiteral("svc.ini"));
        services->answer = french;
        services->changeLanguageDialog(false);

        const QString programFolder = QCoreApplication::applicationDirPath();
        const QString langFolder = programFolder + "/lang";
        QCOMPARE(services->dialogs,
                 QStringList({ QFileInfo(langFolder).isDir() ? langFolder : programFolder,
                               "Select a Language Interface file", "Language (*.lng)" }));
        QVERIFY(services->messages.isEmpty());
        // Used at once.
        QCOMPARE(services->Lng(QStringLiteral("Hello"), QStringLiteral("Msg.Hello")),
                 QStringLiteral("Bonjour"));
        services->close();
        QCOMPARE(savedSettings(), "[common]\nlanguage=" + french.toUtf8() + "\n\n");

        services = std::make_unique<PickingServices>(QStringLiteral("svc.ini"));
        QCOMPARE(services->Lang->LangFile, french);
        QCOMPARE(services->Lng(QStringLiteral("Lines"), QStringLiteral("Msg.Lines")),
                 QStringLiteral("Un\r\nDeux"));
    }

    void dialogTextsShareMsgKey()
    {
        const auto services = startWithLanguage(languageFile("old.lng", "Msg=Bitte\n"));
        services->answer = languageFile("new.lng", "msg=Neu\n");
        services->changeLanguageDialog(true);
        QCOMPARE(services->dialogs.value(1), QStringLiteral("Bitte"));
        // The notice comes after the new file is loaded.
        QCOMPARE(services->messages, QStringList { "Neu" });
    }

    void cancelChangesNothing()
    {
        const QString path = languageFile("keep.lng", "[Msg]\nHello=Hallo\n");
        const auto services = startWithLanguage(path);
        services->changeLanguageDialog(true);
        QCOMPARE(services->dialogs.size(), 3);
        QVERIFY(services->messages.isEmpty());
        QCOMPARE(services->Lang->LangFile, path);
        QCOMPARE(services->Lng(QStringLiteral("Hello"), QStringLiteral("Msg.Hello")),
                 QStringLiteral("Hallo"));
        services->close();
        QCOMPARE(savedSettings(), "[common]\nlanguage=" + path.toUtf8() + "\n\n");
    }

    void vanishedLanguageFileIsKept()
    {
        const QString gone = home->path("gone.lng");
        const auto services = startWithLanguage(gone);
        QCOMPARE(services->Lng(QStringLiteral("Hello"), QStringLiteral("Msg.Hello")),
                 QStringLiteral("Hello"));
        services->close();
        QCOMPARE(savedSettings(), "[common]\nlanguage=" + gone.toUtf8() + "\n\n");
    }

    void unwritablePreferencesFolderSavesNothing()
    {
        ConfigHome::writeFile(home->path("plain"), "file");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home->path("plain/config")));
        ZorenClass services;
        services.UserSettings->Set(QStringLiteral("k"), 1);
        services.close();
        QCOMPARE(ConfigHome::readFile(home->path("plain")), QByteArray("file"));
    }

    void conversions_data()
    {
        QTest::addColumn<bool>("needConvert");
        QTest::addColumn<bool>("isInput");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        const QString mixed = QString::fromUtf8("Gr\xc3\xbc\xc3\x9f\x65\nx\r\ny\rz");
        QTest::newRow("input off") << false << true << mixed << mixed;
        QTest::newRow("output off") << false << false << mixed << mixed;
        QTest::newRow("output: ascii and crlf")
            << true << false << mixed << QStringLiteral("Gr??e\r\nx\r\ny\r\nz");
        // The system encoding here is UTF-8: the two bytes of the letter read as code page 1251.
        QTest::newRow("input: utf-8 bytes as cp1251")
            << true << true << QStringView(u"\u0416").toString()
            << QStringView(u"\u0420\u2013").toString();
        QTest::newRow("input: ascii unchanged") << true << true << "abc"
                                                << "abc";
    }
    void conversions()
    {
        QFETCH(bool, needConvert);
        QFETCH(bool, isInput);
        QFETCH(QString, text);
        QFETCH(QString, expected);
        ZorenClass services(QStringLiteral("conv.ini"));
        QVERIFY(!services.needConvert);
        services.needConvert = needConvert;
        QCOMPARE(isInput ? services.input(text) : services.output(text), expected);
    }

    void lngPassesOutput()
    {
        const auto services = startWithLanguage(
            languageFile("out.lng", "[Msg]\nX=Gr\xc3\xbc\xc3\x9f\x65\\nWelt\n"));
        services->needConvert = true;
        QCOMPARE(services->Lng(QStringLiteral("D"), QStringLiteral("Msg.X")),
                 QStringLiteral("Gr??e\r\nWelt"));
    }

    void cp1251MatchesIconv()
    {
        const QString iconv = QStandardPaths::findExecutable(QStringLiteral("iconv"));
        if (iconv.isEmpty())
            QSKIP("iconv is not installed");
        QByteArray bytes;
        for (int b = 1; b < 256; ++b) {
            if (b != 0x98) // unassigned in code page 1251
                bytes += char(b);
        }
        QProcess process;
        process.start(iconv, { "-f", "CP1251", "-t", "UTF-8" });
        process.write(bytes);
        process.closeWriteChannel();
        QVERIFY(process.waitForFinished());
        QCOMPARE(process.exitCode(), 0);
        QCOMPARE(ZorenClass::decodeCp1251(bytes),
                 QString::fromUtf8(process.readAllStandardOutput()));
        QCOMPARE(ZorenClass::decodeCp1251("\x98"), QString(QChar::ReplacementCharacter));
    }

    void globalClearedWithItsObject()
    {
        auto services = std::make_unique<ZorenClass>(QStringLiteral("global.ini"));
        Zoren = services.get();
        services.reset();
        QCOMPARE(Zoren, nullptr);
    }
};
PICTAVIA_TEST(TestServices)

#include "tst_services.moc"
