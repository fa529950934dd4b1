#pragma once

#include "ZorenLanguage.h"
#include "ZorenSettings.h"

#include <memory>

#include <QByteArrayView>
#include <QString>

// The application library's shared services: the per-user settings, the language table and every
// interface text (Lng).
//
// Lifetime: the application object creates one instance when it opens (with an empty settings
// name), keeps it in a std::unique_ptr and points the global Zoren (ZorenGlobal.h) at it before
// any window opens. When the application closes it calls close(), which writes the settings file
// (the only time settings reach the disk), and then destroys the object; the destructor clears
// Zoren when it points at this instance.
class ZorenClass
{
public:
    // Reads the settings file of that name from the per-user preferences folder (an empty name
    // selects the executable's name plus ".ini") and the language file named in it under
    // "Language" ("lang/default.lng" when there is none).
    explicit ZorenClass(const QString &settingsName = QString());
    virtual ~ZorenClass();
    ZorenClass(const ZorenClass &) = delete;
    ZorenClass &operator=(const ZorenClass &) = delete;

    // Stores the language file in use under "Language" and writes the settings file.
    void close();
    // The language file's text for the key, or the default. Line breaks in the default are
    // written "\n" for the lookup; every "\n" or "\N" of the answer becomes "\r\n".
    QString Lng(const QString &defaultText, const QString &key);
    // Both return the text unchanged unless needConvert is set.
    QString input(const QString &text) const;
    QString output(const QString &text) const;
    // Lets the user pick a ".lng" file from the "lang" folder beside the program and loads it.
    void changeLanguageDialog(bool showRestartNotice);

    // The text of bytes in Windows code page 1251.
    static QString decodeCp1251(QByteArrayView bytes);

    std::unique_ptr<ZorenLanguage> Lang;
    bool needConvert = false;
    std::unique_ptr<ZorenSettings> UserSettings;

protected:
    // The open-file dialog of changeLanguageDialog: answers the chosen file's path, or an empty
    // text when the user cancels.
    virtual QString chooseLanguageFile(const QString &startFolder, const QString &title,
                                       const QString &filter);
    // The message box of the restart notice.
    virtual void showMessage(const QString &text);
};
