#pragma once

#include "ZorenClass.h"

#include <QByteArray>
#include <QString>

// The one services object of the run. The application object owns it and sets this pointer when
// it opens, before any window; it is null before then and after the object is destroyed.
extern ZorenClass *Zoren;

// Hexadecimal MD5 digest (32 lower-case digits) of the bytes given.
QString md5string(const QByteArray &bytes);
// Same, of a text's UTF-8 bytes.
QString md5string(const QString &text);

// One colour component (0..255) as two upper-case hexadecimal digits.
QString Hex2(int value);
