#pragma once

#include <QByteArray>
#include <QFile>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>
#include <QTest>

// Points the per-user preferences folder at a fresh temporary folder while alive, so that no test
// sees another's settings or the real ones.
class ConfigHome
{
public:
    ConfigHome()
        : hadPrevious(qEnvironmentVariableIsSet("XDG_CONFIG_HOME"))
        , previous(qgetenv("XDG_CONFIG_HOME"))
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
    }
    ~ConfigHome()
    {
        if (hadPrevious)
            qputenv("XDG_CONFIG_HOME", previous);
        else
            qunsetenv("XDG_CONFIG_HOME");
    }
    ConfigHome(const ConfigHome &) = delete;
    ConfigHome &operator=(const ConfigHome &) = delete;

    QString folder() const
    {
        return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    }
    QString path(const QString &name) const { return dir.filePath(name); }

    static void writeFile(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
        QCOMPARE(file.write(bytes), bytes.size());
    }
    static QByteArray readFile(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

private:
    QTemporaryDir dir;
    bool hadPrevious;
    QByteArray previous;
};
