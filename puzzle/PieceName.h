#pragma once

#include <QString>

// A piece's file name: the first `length` digits of the MD5 of its key.
QString pieceName(const QString &key, int length = 6);
