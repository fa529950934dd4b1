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

// Works on the file's bytes and converts one line at a time, so a large file is held only once.
// Line feed (0x0A) and carriage return (0x0D) never occur inside a UTF-8 sequence, which makes
// splitting the bytes the same as splitting the decoded text.
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
        const QString line = QString::fromUtf8(text.sliced(pos, end - pos));
        pos = end + ((end + 1 < size && text[end] == '\r' && text[end + 1] == '\n') ? 2 : 1);

        const QStringView trimmed = QStringView(line).trimmed();
        if (trimmed.isEmpty())
            continue;
        if (trimmed.startsWith(u'[') && trimmed.endsWith(u']')) {
            prefix = trimmed.sliced(1, trimmed.size() - 2).toString() + u'.';
            continue;
        }
        // Name and value keep their white space: they are cut from the line as read.
        const qsizetype equals = line.indexOf(u'=');
        const QStringView name = equals < 0 ? QStringView(line) : QStringView(line).left(equals);
        const QString value = equals < 0 ? QString() : line.mid(equals + 1);
        QString key = prefix;
        key += name;
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

    std::vector<std::pair<QString, QString>> sections;
    QHash<QString, qsizetype> sectionIndex;
    for (const auto &[key, value] : Storage) {
        const qsizetype dot = key.indexOf(u'.');
        const QString section = dot < 0 ? QStringLiteral("common") : key.left(dot);
        const QStringView entry = dot < 0 ? QStringView(key) : QStringView(key).sliced(dot + 1);
        if (entry.isEmpty())
            continue;
        auto found = sectionIndex.constFind(section);
        if (found == sectionIndex.cend()) {
            found = sectionIndex.insert(section, qsizetype(sections.size()));
            sections.emplace_back(section, QString());
        }
        QString &lines = sections[size_t(*found)].second;
        lines += entry;
        lines += u'=';
        lines += value.toString();
        lines += lineEnding;
    }

    QString out;
    for (const auto &[section, lines] : sections) {
        if (section.isEmpty())
            continue;
        out += u'[';
        out += section;
        out += u']';
        out += lineEnding;
        out += lines;
        out += lineEnding;
    }

    // The preferences folder does not exist before the first run. QSaveFile replaces the old
    // file only once the new one is complete, so a failed write leaves the previous settings.
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    const QByteArray bytes = out.toUtf8();
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return;
    }
    file.commit();
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
