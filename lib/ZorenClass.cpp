#include "ZorenClass.h"

#include "ZorenGlobal.h"

#include <array>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QRegularExpression>
#include <QStringEncoder>

namespace {

// Unicode code points of the bytes 0x80-0xFF; 0x98 is unassigned.
constexpr std::array<char16_t, 128> cp1251High = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, // 0x80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F, // 0x88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 0x90
    0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, // 0x98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, // 0xA0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, // 0xA8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, // 0xB0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, // 0xB8
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, // 0xC0
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, // 0xC8
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, // 0xD0
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F, // 0xD8
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, // 0xE0
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, // 0xE8
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447, // 0xF0
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F, // 0xF8
};

QString withCrLf(const QString &text)
{
    static const QRegularExpression lineEnding(QStringLiteral("\r\n|\r|\n"));
    return QString(text).replace(lineEnding, QStringLiteral("\r\n"));
}

} // namespace

ZorenClass::ZorenClass(const QString &settingsName)
{
    UserSettings = std::make_unique<ZorenSettings>(settingsName, true);
    Lang = std::make_unique<ZorenLanguage>(
        UserSettings->Get(QStringLiteral("Language"), QString()).toString());
}

ZorenClass::~ZorenClass()
{
    if (Zoren == this)
        Zoren = nullptr;
}

void ZorenClass::close()
{
    UserSettings->Set(QStringLiteral("Language"), Lang->LangFile);
    UserSettings->SaveSettings(QString());
    if (Lang->StoreLang)
        Lang->Save(QString());
}

QString ZorenClass::Lng(const QString &defaultText, const QString &key)
{
    static const QRegularExpression lineEnding(QStringLiteral("\r\n|\r|\n"));
    static const QRegularExpression escapedBreak(QStringLiteral("\\\\n"),
                                                 QRegularExpression::CaseInsensitiveOption);
    const QString escapedDefault = QString(defaultText).replace(lineEnding, QStringLiteral("\\n"));
    QString answer = output(Lang->Get(escapedDefault, key));
    return answer.replace(escapedBreak, QStringLiteral("\r\n"));
}

QString ZorenClass::input(const QString &text) const
{
    if (!needConvert)
        return text;
    QStringEncoder toSystem(QStringConverter::System);
    const QByteArray bytes = toSystem.encode(text);
    return decodeCp1251(bytes);
}

QString ZorenClass::output(const QString &text) const
{
    if (!needConvert)
        return text;
    // ASCII first: every other character becomes "?". A QString carries no encoding of its own;
    // the system encoding applies where the text becomes bytes, and ASCII reads the same in all.
    QString ascii = text;
    for (QChar &c : ascii) {
        if (c.unicode() > 0x7F)
            c = u'?';
    }
    return withCrLf(ascii);
}

QString ZorenClass::decodeCp1251(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (const char byte : bytes) {
        const auto b = static_cast<unsigned char>(byte);
        *out++ = b < 0x80 ? QChar(b) : QChar(cp1251High[b - 0x80]);
    }
    return text;
}

void ZorenClass::changeLanguageDialog(bool showRestartNotice)
{
    const QString programFolder = QCoreApplication::applicationDirPath();
    const QString langFolder = QDir(programFolder).filePath(QStringLiteral("lang"));
    const QString startFolder = QFileInfo(langFolder).isDir() ? langFolder : programFolder;
    const QString title
        = Lng(QStringLiteral("Select a Language Interface file"), QStringLiteral("Msg"));
    const QString chosen
        = chooseLanguageFile(startFolder, title, QStringLiteral("Language (*.lng)"));
    if (chosen.isEmpty())
        return;
    Lang->Load(QFileInfo(chosen).absoluteFilePath());
    if (showRestartNotice)
        showMessage(
            Lng(QStringLiteral("You should restart application to apply new interface language!"),
                QStringLiteral("Msg")));
}

QString ZorenClass::chooseLanguageFile(const QString &startFolder, const QString &title,
                                       const QString &filter)
{
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), title, startFolder, filter);
}

void ZorenClass::showMessage(const QString &text)
{
    QMessageBox::information(QApplication::activeWindow(), QString(), text);
}
