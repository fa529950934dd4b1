#include "PieceName.h"

#include "ZorenGlobal.h"

QString pieceName(const QString &key, int length)
{
    return md5string(key).left(length);
}
