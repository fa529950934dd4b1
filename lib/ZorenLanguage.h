#pragma once

#include "ZorenSettings.h"

#include <memory>

#include <QString>

// The interface texts of one language, read from a language file (".lng", the settings file
// format). Every lookup carries the text to answer when the file has none, so the program is
// complete without any language file.
class ZorenLanguage
{
public:
    // A blank name selects "lang/default.lng"; relative names are resolved against the program's
    // folder.
    explicit ZorenLanguage(const QString &fileName);
    ~ZorenLanguage();
    ZorenLanguage(const ZorenLanguage &) = delete;
    ZorenLanguage &operator=(const ZorenLanguage &) = delete;

    // The file's text for the key, or the default when the file has none or only blanks for it.
    QString Get(const QString &defaultText, const QString &key);
    // Replaces the texts by those of another file.
    void Load(const QString &fileName);
    // Writes the texts to the file given, or to the file last loaded when the name is empty.
    void Save(const QString &fileName);
    void Set(const QString &key, const QString &text);

    std::unique_ptr<ZorenSettings> LangSet;
    QString LangFile;
    // When true, every text that Get answers is stored under its key, and the table is written
    // back to its file when destroyed.
    bool StoreLang = false;
};
