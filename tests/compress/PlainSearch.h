#pragma once

#include "CompactraToken.h"

#include <QByteArray>
#include <QList>

// The token choice exactly as the coding rules state it, by plain substring
// search of the window for every length from 4 upwards. Slow; it is the
// reference the fast match finder is held to.
class PlainSearch
{
public:
    static QList<CompactraToken> tokens(const QByteArray &text);
};
