#pragma once

class QImage;
class QRect;

// Draws the whole of `source` shrunk into `area` of `target`, each target
// pixel the exact average of the source area it covers (a box filter, so a
// large reduction does not alias). Both pictures Format_RGB32; `area` no
// larger than `source` in either direction and inside `target`. Works row by
// row with no picture-sized buffer of its own.
void scaleAreaInto(const QImage &source, QImage &target, const QRect &area);
