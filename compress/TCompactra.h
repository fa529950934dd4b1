#pragma once

#include "CompactraToken.h"

#include <QByteArray>
#include <QList>

// Turns a block of browser script into a smaller self-extracting script made
// of printable characters only. Works on bytes end to end.
class TCompactra
{
public:
    TCompactra() = default;
    virtual ~TCompactra() = default;

    // Whole emitted text; `script` set gives script mode, clear gives page mode.
    virtual QByteArray Compress(const QByteArray &text, const QByteArray &prefix, bool script);
    virtual QByteArray CompressJS(const QByteArray &text, const QByteArray &prefix);
    virtual QByteArray CompressHtml(const QByteArray &text, const QByteArray &prefix);

    // The tokens that Compress codes for `text`, in order.
    static QList<CompactraToken> Tokens(const QByteArray &text);

    // The 91 code characters, index order.
    static const QByteArray &Alphabet();
    // The fixed script that rebuilds the text, its names carrying `prefix`.
    static QByteArray Loader(const QByteArray &prefix);

private:
    friend class TestCompactra;

    static QByteArray ExtraChar(char c);
    static QByteArray proc1c(int n);
    static QByteArray proc2c(int n);
};
