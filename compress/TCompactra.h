#pragma once

#include <QByteArray>

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
};
