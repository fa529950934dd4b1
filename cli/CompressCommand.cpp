#include "CliCommands.h"
#include "TCompactra.h"

#include <cstdio>

#include <QFile>

namespace {

int usageError(const char *why)
{
    std::fprintf(stderr, "pictavia-cli compress: %s\n", why);
    printUsage(stderr);
    return ExitUsage;
}

} // namespace

int runCompress(const QStringList &args)
{
    bool html = false;
    QByteArray prefix("kv");
    QString path;
    bool havePath = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == QLatin1String("--html")) {
            html = true;
        } else if (a == QLatin1String("--prefix")) {
            if (++i == args.size())
                return usageError("--prefix needs a value");
            prefix = args[i].toUtf8();
        } else if (a.startsWith(QLatin1Char('-')) && a != QLatin1String("-")) {
            return usageError("unknown option");
        } else if (havePath) {
            return usageError("only one input file");
        } else {
            path = a;
            havePath = true;
        }
    }

    QFile in;
    const bool fromStdin = !havePath || path == QLatin1String("-");
    const bool opened = fromStdin ? in.open(stdin, QIODevice::ReadOnly)
                                  : (in.setFileName(path), in.open(QIODevice::ReadOnly));
    if (!opened) {
        std::fprintf(stderr, "pictavia-cli: cannot read %s: %s\n",
                     qPrintable(fromStdin ? QStringLiteral("standard input") : path),
                     qPrintable(in.errorString()));
        return ExitFailed;
    }
    const QByteArray text = in.readAll();
    if (in.error() != QFileDevice::NoError) {
        std::fprintf(stderr, "pictavia-cli: cannot read %s: %s\n",
                     qPrintable(fromStdin ? QStringLiteral("standard input") : path),
                     qPrintable(in.errorString()));
        return ExitFailed;
    }

    TCompactra compactra;
    const QByteArray result
        = html ? compactra.CompressHtml(text, prefix) : compactra.CompressJS(text, prefix);
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly) || out.write(result) != result.size()
        || !out.flush()) {
        std::fprintf(stderr, "pictavia-cli: cannot write standard output: %s\n",
                     qPrintable(out.errorString()));
        return ExitFailed;
    }
    return ExitOk;
}
