#include "JpegRows.h"

#include <csetjmp>
#include <cstdio>
#include <jerror.h>
#include <jpeglib.h>
#include <vector>

#include <QtGlobal>

struct JpegRowsDecoder
{
    jpeg_decompress_struct info {};
    jpeg_error_mgr errors {};
    std::jmp_buf jump {};
    std::vector<uchar> row;
    bool created = false;
    bool header = false;
    bool started = false;
    bool failed = false;
    bool cutShort = false;
};

namespace {

// libjpeg reports fatal errors by a call that must not return.
[[noreturn]] void leave(j_common_ptr info)
{
    auto *d = static_cast<JpegRowsDecoder *>(info->client_data);
    std::longjmp(d->jump, 1);
}

// Warnings are silent; only a file cut short counts: libjpeg would go on
// with grey rows.
void note(j_common_ptr info, int level)
{
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF)
        static_cast<JpegRowsDecoder *>(info->client_data)->cutShort = true;
}

#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr J_COLOR_SPACE Rgb32Layout = JCS_EXT_BGRX;
#else
constexpr J_COLOR_SPACE Rgb32Layout = JCS_EXT_XRGB;
#endif

} // namespace

JpegRows::JpegRows(const QByteArray &bytes)
    : d(std::make_unique<JpegRowsDecoder>())
{
    d->info.err = jpeg_std_error(&d->errors);
    d->errors.error_exit = leave;
    d->errors.emit_message = note;
    d->info.client_data = d.get();
    if (setjmp(d->jump)) {
        d->failed = true;
        return;
    }
    jpeg_create_decompress(&d->info);
    d->created = true;
    jpeg_mem_src(&d->info, reinterpret_cast<const unsigned char *>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&d->info, TRUE);
    d->header = true;
}

JpegRows::~JpegRows()
{
    if (d->created)
        jpeg_destroy_decompress(&d->info);
}

bool JpegRows::isConvertible() const
{
    if (!d->header || d->failed)
        return false;
    switch (d->info.jpeg_color_space) {
    case JCS_GRAYSCALE:
    case JCS_YCbCr:
    case JCS_RGB:
        return true;
    default:
        return false;
    }
}

bool JpegRows::isProgressive() const
{
    return d->header && jpeg_has_multiple_scans(&d->info);
}

bool JpegRows::start(int scale)
{
    if (!isConvertible() || d->started)
        return false;
    if (setjmp(d->jump)) {
        d->failed = true;
        return false;
    }
    d->info.out_color_space = Rgb32Layout;
    d->info.scale_num = 1;
    d->info.scale_denom = static_cast<unsigned int>(scale);
    jpeg_start_decompress(&d->info);
    d->row.resize(size_t(d->info.output_width) * 4);
    d->started = !d->cutShort;
    d->failed = d->cutShort;
    return d->started;
}

QSize JpegRows::size() const
{
    return d->started ? QSize(int(d->info.output_width), int(d->info.output_height)) : QSize();
}

const uchar *JpegRows::next()
{
    if (!d->started || d->failed || d->info.output_scanline >= d->info.output_height)
        return nullptr;
    if (setjmp(d->jump)) {
        d->failed = true;
        return nullptr;
    }
    JSAMPROW out = d->row.data();
    jpeg_read_scanlines(&d->info, &out, 1);
    if (d->cutShort) {
        d->failed = true;
        return nullptr;
    }
    return d->row.data();
}

bool JpegRows::failed() const
{
    return d->failed;
}
