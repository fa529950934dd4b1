#include "PuzzleFit.h"

QSize fitPuzzleSize(QSize image, QSize area)
{
    if (image.width() <= 0 || image.height() <= 0)
        return {};
    // The ratio is kept in single precision; the sizes the preview has always
    // shown depend on that rounding.
    const double ratio = float(double(image.height()) / double(image.width()));
    int w = area.width();
    int h = int(w * ratio);
    if (area.height() < h) {
        h = area.height();
        w = int(h / ratio);
    }
    return { w, h };
}
