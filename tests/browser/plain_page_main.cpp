// Writes a puzzle with an uncompressed page: plain-page IMAGE FOLDER CxR WxH.
// Prints the page's file URL.
#include "PlainPageCreator.h"

#include <cstdio>

#include <QGuiApplication>
#include <QStringList>

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments();
    if (args.size() != 5) {
        std::fputs("usage: plain-page IMAGE FOLDER CxR WxH\n", stderr);
        return 2;
    }
    const QStringList pieces = args.at(3).split(QLatin1Char('x'));
    const QStringList size = args.at(4).split(QLatin1Char('x'));
    if (pieces.size() != 2 || size.size() != 2) {
        std::fputs("plain-page: CxR and WxH are two numbers each\n", stderr);
        return 2;
    }
    PlainPageCreator puzzle;
    puzzle.PathToImage = args.at(1);
    puzzle.PathToStore
        = args.at(2).endsWith(QLatin1Char('/')) ? args.at(2) : args.at(2) + QLatin1Char('/');
    puzzle.PiecesHor = pieces.at(0).toInt();
    puzzle.PiecesVer = pieces.at(1).toInt();
    puzzle.PuzzleWidth = size.at(0).toInt();
    puzzle.PuzzleHeight = size.at(1).toInt();
    const QString url = puzzle.Create();
    if (url.isEmpty()) {
        std::fputs("plain-page: the puzzle could not be created\n", stderr);
        return 1;
    }
    std::printf("%s\n", qPrintable(url));
    return 0;
}
