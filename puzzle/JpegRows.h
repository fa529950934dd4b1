#pragma once

#include <memory>

#include <QByteArray>
#include <QSize>

struct JpegRowsDecoder;

// Decodes a JPEG held in memory one row at a time, at 1/1, 1/2, 1/4 or 1/8
// of its size, straight into Format_RGB32 layout: no picture-sized buffer and
// no conversion afterwards. Only for colour spaces that convert to RGB
// (grey, YCbCr, RGB); otherwise not valid and the caller decodes another way.
class JpegRows
{
public:
    // Reads the header. `bytes` must outlive this object.
    explicit JpegRows(const QByteArray &bytes);
    ~JpegRows();
    JpegRows(const JpegRows &) = delete;
    JpegRows &operator=(const JpegRows &) = delete;

    // Whether the header was read and its colour space converts to RGB.
    bool isConvertible() const;
    // Whether decoding holds the whole picture in memory (progressive files).
    bool isProgressive() const;

    // Starts decoding at 1/`scale` (1, 2, 4 or 8); false if that fails.
    bool start(int scale);
    // The decoded size, once started.
    QSize size() const;

    // The next row, valid until the next call; null after the last row or
    // when the data is broken or cut short (then failed() is true).
    const uchar *next();
    bool failed() const;

private:
    std::unique_ptr<JpegRowsDecoder> d;
};
