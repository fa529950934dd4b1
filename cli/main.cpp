#include "CliCommands.h"

#include <cstdio>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QGuiApplication>

// The offscreen platform wants a private runtime folder and warns on stderr
// when it has none; stderr is kept for the command's own one-line reasons.
static void ensureRuntimeDir()
{
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        return;
    const QString dir = QDir::tempPath() + QStringLiteral("/pictavia-runtime-%1").arg(getuid());
    if (!QDir().mkpath(dir))
        return;
    QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir));
}

void printUsage(FILE *to)
{
    std::fputs("Usage:\n"
               "  pictavia-cli create IMAGE FOLDER [--pieces CxR] [--size WxH | --fit WxH]\n"
               "  pictavia-cli compress [--html] [--prefix P] [FILE]\n"
               "  pictavia-cli --help | --version\n",
               to);
}

int main(int argc, char *argv[])
{
    // Drawing captions needs fonts and a platform; none of it needs a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ensureRuntimeDir();
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("pictavia-cli"));
    QGuiApplication::setApplicationVersion(QStringLiteral(PICTAVIA_VERSION));

    QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) {
        printUsage(stderr);
        return ExitUsage;
    }
    const QString verb = args.takeFirst();
    if (verb == QLatin1String("--help") || verb == QLatin1String("-h")) {
        printUsage(stdout);
        return ExitOk;
    }
    if (verb == QLatin1String("--version")) {
        std::printf("pictavia-cli %s\n", PICTAVIA_VERSION);
        return ExitOk;
    }
    if (verb == QLatin1String("compress"))
        return runCompress(args);
    if (verb == QLatin1String("create"))
        return runCreate(args);
    std::fprintf(stderr, "pictavia-cli: unknown command '%s'\n", qPrintable(verb));
    printUsage(stderr);
    return ExitUsage;
}
