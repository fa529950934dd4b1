#include "ZorenSettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

#ifdef Q_OS_WIN
constexpr QStringView lineEnding = u"\r\n";
#else
constexpr QStringView lineEnding = u"\n";
#endif

QString executableName()
{
    if (!QCoreApplication::instance())
        return QString();
    QString name = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
#ifdef Q_OS_WIN
    if (name.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive))
        name.chop(4);
#endif
    return name;
}

} // namespace

QVariant ZorenSettings::Map::value(const QString &key) const
{
    const auto found = index.constFind(key);
    return found == index.cend() ? QVariant() : entries[size_t(*found)].second;
}

void ZorenSettings::Map::insert(const QString &key, const QVariant &value)
{
    const auto found = index.constFind(key);
    if (found != index.cend()) {
        entries[size_t(*found)].second = value;
        return;
    }
    index.insert(key, qsizetype(entries.size()));
    entries.emplace_back(key, value);
}

void ZorenSettings::Map::clear()
{
    entries.clear();
    index.clear();
}

ZorenSettings::ZorenSettings(const QString &name, bool inPrefFolder)
    : PrefFolder(inPrefFolder)
{
    LoadSettings(name);
}

QString ZorenSettings::normalizedKey(const QString &key)
{
    if (!key.contains(u'.'))
        return (QLatin1String("common.") + key).toLower();
    return key.toLower();
}

QString ZorenSettings::filePath(const QString &name) const
{
    if (name.isEmpty())
        return QString();
    if (QDir::isAbsolutePath(name))
        return name;
    const QString folder = PrefFolder
        ? QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        : (QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString());
    if (folder.isEmpty())
        return QString();
    return QDir(folder).filePath(name);
}

void ZorenSettings::LoadSettings(const QString &name)
{
    StorageName = name.trimmed().isEmpty() ? executableName() + QLatin1String(".ini") : name;
    const QString path = filePath(StorageName);
    if (path.isEmpty())
        return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = file.readAll();
    file.close();
    parse(bytes);
}

namespace {

bool isAsciiSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

} // namespace

// Works on the file's bytes and decodes only the pieces it keeps, so that a large file is held
// once as bytes and once as the texts of the store. Line feed, carriage return, "=", "[", "]" and
// ASCII white space never occur inside a UTF-8 sequence, so cutting the bytes at them gives the
// same pieces as cutting the decoded text.
void ZorenSettings::parse(QByteArrayView text)
{
    if (text.startsWith("\xEF\xBB\xBF"))
        text = text.sliced(3);
    QString prefix = QStringLiteral("common.");
    const qsizetype size = text.size();
    qsizetype pos = 0;
    while (pos < size) {
        // A file edited on another platform still reads line by line: "\r\n", a lone "\r" and a
        // lone "\n" all end a line.
        qsizetype end = pos;
        while (end < size && text[end] != '\n' && text[end] != '\r')
            ++end;
        const QByteArrayView line = text.sliced(pos, end - pos);
        pos = end + ((end + 1 < size && text[end] == '\r' && text[end + 1] == '\n') ? 2 : 1);

        qsizetype first = 0;
        qsizetype last = line.size() - 1;
        while (first <= last && isAsciiSpace(line[first]))
            ++first;
        while (last >= first && isAsciiSpace(line[last]))
            --last;
        if (first > last)
            continue;
        if ((line[first] & 0x80) || (line[last] & 0x80)) {
            // Unicode white space at either end: let QString decide what trimming leaves.
            const QString decoded = QString::fromUtf8(line);
            const QStringView trimmed = QStringView(decoded).trimmed();
            if (trimmed.isEmpty())
                continue;
            if (trimmed.startsWith(u'[') && trimmed.endsWith(u']')) {
                prefix = trimmed.sliced(1, trimmed.size() - 2).toString() + u'.';
                continue;
            }
        } else if (line[first] == '[' && line[last] == ']' && last > first) {
            prefix = QString::fromUtf8(line.sliced(first + 1, last - first - 1)) + u'.';
            continue;
        }
        // Name and value keep their white space: they are cut from the line as read.
        const qsizetype equals = line.indexOf('=');
        QString key = prefix;
        key += QString::fromUtf8(equals < 0 ? line : line.first(equals));
        const QString value = equals < 0 ? QString() : QString::fromUtf8(line.sliced(equals + 1));
        Storage.insert(key.toLower(), value);
    }
}

void ZorenSettings::SaveSettings(const QString &name) const
{
    if (ReadOnly)
        return;
    const QString path = filePath(name.trimmed().isEmpty() ? StorageName : name);
    if (path.isEmpty())
        return;

    // Sections in the order they first appear, each with its entries and where their names start.
    struct Section
    {
        QString name;
        std::vector<std::pair<const Map::Entry *, qsizetype>> entries;
    };
    std::vector<Section> sections;
    QHash<QString, qsizetype> sectionIndex;
    for (const Map::Entry &entry : Storage) {
        const QString &key = entry.first;
        const qsizetype dot = key.indexOf(u'.');
        const QString section = dot < 0 ? QStringLiteral("common") : key.left(dot);
        const qsizetype nameStart = dot + 1;
        if (nameStart >= key.size())
            continue;
        auto found = sectionIndex.constFind(section);
        if (found == sectionIndex.cend()) {
            found = sectionIndex.insert(section, qsizetype(sections.size()));
            sections.push_back({ section, {} });
        }
        sections[size_t(*found)].entries.emplace_back(&entry, nameStart);
    }

    // The preferences folder does not exist before the first run. QSaveFile replaces the old
    // file only once the new one is complete, so a failed write leaves the previous settings.
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    const QByteArray eol = lineEnding.toUtf8();
    bool written = true;
    const auto write
        = [&](const QByteArray &bytes) { written = written && file.write(bytes) == bytes.size(); };
    for (const Section &section : sections) {
        if (section.name.isEmpty())
            continue;
        write('[' + section.name.toUtf8() + ']' + eol);
        for (const auto &[entry, nameStart] : section.entries) {
            write(QStringView(entry->first).sliced(nameStart).toUtf8() + '='
                  + entry->second.toString().toUtf8() + eol);
        }
        write(eol);
        if (!written)
            break;
    }
    if (written)
        file.commit();
    else
        file.cancelWriting();
}

void ZorenSettings::Set(const QString &key, const QVariant &value)
{
    Storage.insert(normalizedKey(key), value);
}

QVariant ZorenSettings::Get(const QString &key, const QVariant &defaultValue) const
{
    const QString normalized = normalizedKey(key);
    if (Storage.contains(normalized)) {
        const QString text = Storage.value(normalized).toString();
        if (!text.trimmed().isEmpty())
            return text;
    }
    return defaultValue;
}

void ZorenSettings::SetReadOnly(bool flag)
{
    ReadOnly = flag;
}

void ZorenSettings::Clear()
{
    Storage.clear();
}
