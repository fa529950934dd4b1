#include "PictureCheck.h"

#include <QtEndian>

namespace {

bool jpegComplete(const QByteArray &bytes)
{
    // An end-of-image marker after the last scan; entropy-coded data never
    // holds 0xFFD9.
    const qsizetype lastScan = bytes.lastIndexOf(QByteArrayView("\xFF\xDA", 2));
    return lastScan >= 0 && bytes.indexOf(QByteArrayView("\xFF\xD9", 2), lastScan) >= 0;
}

bool pngComplete(const QByteArray &bytes)
{
    // Walk the chunks (length, type, data, CRC) up to the closing IEND.
    const auto *data = reinterpret_cast<const uchar *>(bytes.constData());
    const qint64 size = bytes.size();
    qint64 at = 8;
    while (at + 12 <= size) {
        const qint64 length = qFromBigEndian<quint32>(data + at);
        if (QByteArrayView(bytes).sliced(at + 4, 4) == "IEND")
            return true;
        at += 12 + length;
    }
    return false;
}

bool gifComplete(const QByteArray &bytes)
{
    return bytes.endsWith(';');
}

bool bmpComplete(const QByteArray &bytes)
{
    const auto *data = reinterpret_cast<const uchar *>(bytes.constData());
    const qint64 size = bytes.size();
    if (size < 26)
        return false;
    const qint64 declared = qFromLittleEndian<quint32>(data + 2);
    if (declared > size)
        return false;
    if (size < 34 || qFromLittleEndian<quint32>(data + 14) < 40)
        return true;
    // Uncompressed pixel rows must all be there, whatever the size field says.
    const qint64 offset = qFromLittleEndian<quint32>(data + 10);
    const qint64 width = qFromLittleEndian<qint32>(data + 18);
    const qint64 height = qAbs(qint64(qFromLittleEndian<qint32>(data + 22)));
    const qint64 bits = qFromLittleEndian<quint16>(data + 28);
    const quint32 compression = qFromLittleEndian<quint32>(data + 30);
    if (compression != 0 && compression != 3)
        return true;
    const qint64 rowBytes = (width * bits + 31) / 32 * 4;
    return offset + rowBytes * height <= size;
}

} // namespace

bool pictureLooksComplete(const QByteArray &bytes, const QByteArray &format)
{
    if (format == "jpeg" || format == "jpg")
        return jpegComplete(bytes);
    if (format == "png")
        return pngComplete(bytes);
    if (format == "gif")
        return gifComplete(bytes);
    if (format == "bmp" || format == "dib")
        return bmpComplete(bytes);
    return true;
}
