#pragma once

#include <utility>
#include <vector>

#include <QHash>
#include <QString>
#include <QVariant>

// Key-value store kept as an INI-like UTF-8 text file.
//
// Keys are "section.name"; a key without "." belongs to "common"; keys compare without regard to
// letter case (they are stored in lower case). Values are QVariants holding QString, qint32 or
// bool; in the file every value is its text form ("5", "true", "false"), which QVariant converts
// back with toInt() and toBool(). Get answers the stored text, or the caller's default when the key
// is absent or its text is blank.
//
// File names: with PrefFolder a relative name lives in the per-user preferences folder
// (QStandardPaths::GenericConfigLocation), otherwise in the folder of the program
// (QCoreApplication::applicationDirPath()); an absolute name is used unchanged in both cases. An
// empty name stands for the executable's file name (QCoreApplication::applicationFilePath(), not
// applicationName(), which the program sets to its display name) followed by ".ini".
//
// The store never reports an error: a file that cannot be read leaves the entries as they were, a
// file that cannot be written is not written, and the file it would have replaced stays whole.
class ZorenSettings
{
public:
    // The entries, enumerated in the order of first insertion so that saved files come out
    // stable.
    class Map
    {
    public:
        using Entry = std::pair<QString, QVariant>;

        bool contains(const QString &key) const { return index.contains(key); }
        QVariant value(const QString &key) const;
        void insert(const QString &key, const QVariant &value);
        void clear();
        qsizetype size() const { return qsizetype(entries.size()); }
        bool isEmpty() const { return entries.empty(); }
        std::vector<Entry>::const_iterator begin() const { return entries.cbegin(); }
        std::vector<Entry>::const_iterator end() const { return entries.cend(); }

    private:
        std::vector<Entry> entries;
        QHash<QString, qsizetype> index;
    };

    ZorenSettings(const QString &name, bool inPrefFolder);

    // Merges the file into the entries; a key present in both takes the file's value.
    void LoadSettings(const QString &name);
    // Writes every entry to the file name given, or to StorageName when it is empty.
    void SaveSettings(const QString &name) const;
    void Set(const QString &key, const QVariant &value);
    QVariant Get(const QString &key, const QVariant &defaultValue = QVariant()) const;
    void SetReadOnly(bool flag);
    // Removes every entry; StorageName, ReadOnly and PrefFolder stay.
    void Clear();

    // The normalised form of a key: "common." put in front when it has no ".", then lower case.
    static QString normalizedKey(const QString &key);
    // Where a file name of this store is on disk; empty when there is no such place.
    QString filePath(const QString &name) const;

    Map Storage;
    // The file name the last LoadSettings settled on.
    QString StorageName;
    // While true, SaveSettings writes nothing.
    bool ReadOnly = false;
    const bool PrefFolder;

private:
    void parse(QByteArrayView text);
};
