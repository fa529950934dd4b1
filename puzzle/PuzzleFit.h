#pragma once

#include <QSize>

// The puzzle size at which an image of `image` pixels is shown fitted into an
// area of `area` pixels: the full width of the area, or, if that would make it
// too tall, the full height; proportions kept, fractions dropped. Invalid
// when the image has no pixels.
QSize fitPuzzleSize(QSize image, QSize area);
