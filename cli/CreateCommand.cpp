#include "CliCommands.h"
#include "PuzzleFit.h"
#include "TPuzzleCreator.h"

#include <cstdio>
#include <optional>

#include <QFileInfo>
#include <QImageReader>
#include <QRegularExpression>

namespace {

// "WxH" (or "CxR") with both numbers positive.
std::optional<QSize> parseSize(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^([0-9]{1,6})[xX]([0-9]{1,6})$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const QSize size(m.captured(1).toInt(), m.captured(2).toInt());
    if (size.width() < 1 || size.height() < 1)
        return std::nullopt;
    return size;
}

int usageError(const QString &reason)
{
    std::fprintf(stderr, "pictavia-cli create: %s\n", qPrintable(reason));
    printUsage(stderr);
    return ExitUsage;
}

int failed(const QString &reason)
{
    std::fprintf(stderr, "pictavia-cli create: %s\n", qPrintable(reason));
    return ExitFailed;
}

} // namespace

int runCreate(const QStringList &args)
{
    QStringList positional;
    std::optional<QSize> pieces, size, fit;
    for (qsizetype k = 0; k < args.size(); ++k) {
        QString arg = args.at(k);
        QString value;
        const bool option = arg.startsWith(QLatin1String("--"));
        if (option) {
            const qsizetype eq = arg.indexOf(QLatin1Char('='));
            if (eq >= 0) {
                value = arg.mid(eq + 1);
                arg.truncate(eq);
            } else if (k + 1 < args.size()) {
                value = args.at(++k);
            } else {
                return usageError(QStringLiteral("%1 needs a value").arg(arg));
            }
        }
        if (!option) {
            positional << arg;
        } else if (arg == QLatin1String("--pieces")) {
            pieces = parseSize(value);
            if (!pieces || pieces->width() > 20 || pieces->height() > 20)
                return usageError(QStringLiteral("--pieces wants CxR, 1 to 20 each"));
        } else if (arg == QLatin1String("--size")) {
            size = parseSize(value);
            if (!size)
                return usageError(QStringLiteral("--size wants WxH"));
        } else if (arg == QLatin1String("--fit")) {
            fit = parseSize(value);
            if (!fit)
                return usageError(QStringLiteral("--fit wants WxH"));
        } else {
            return usageError(QStringLiteral("unknown option %1").arg(arg));
        }
    }
    if (positional.size() != 2)
        return usageError(QStringLiteral("wants IMAGE and FOLDER"));
    if (size && fit)
        return usageError(QStringLiteral("--size and --fit exclude each other"));

    TPuzzleCreator puzzle;
    puzzle.PathToImage = positional.at(0);
    puzzle.PathToStore = positional.at(1);
    puzzle.PiecesHor = pieces ? pieces->width() : 6;
    puzzle.PiecesVer = pieces ? pieces->height() : 6;
    QSize puzzleSize = size.value_or(QSize(640, 480));
    if (fit) {
        if (!QFileInfo(puzzle.PathToImage).isFile())
            return failed(QStringLiteral("no such image file: %1").arg(puzzle.PathToImage));
        puzzleSize = fitPuzzleSize(QImageReader(puzzle.PathToImage).size(), *fit);
        if (puzzleSize.width() < 1 || puzzleSize.height() < 1)
            return failed(QStringLiteral("not a usable picture: %1").arg(puzzle.PathToImage));
    }
    puzzle.PuzzleWidth = puzzleSize.width();
    puzzle.PuzzleHeight = puzzleSize.height();

    const QString url = puzzle.Create();
    if (url.isEmpty())
        return failed(puzzle.lastError());
    std::printf("%s\n", qPrintable(url));
    return ExitOk;
}
