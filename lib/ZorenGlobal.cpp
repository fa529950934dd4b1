#include "ZorenGlobal.h"

#include <QCryptographicHash>

ZorenClass *Zoren = nullptr;

QString md5string(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
}

QString md5string(const QString &text)
{
    return md5string(text.toUtf8());
}

QString Hex2(int value)
{
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}
