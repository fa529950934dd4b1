#pragma once

#include <QtGlobal>

// One step of the coded text: a literal byte (distance 0, length 1) or a
// back-reference to `length` bytes that start `distance` bytes earlier.
struct CompactraToken
{
    quint16 distance = 0;
    quint16 length = 1;

    bool isLiteral() const { return distance == 0; }
    friend bool operator==(const CompactraToken &, const CompactraToken &) = default;
};
