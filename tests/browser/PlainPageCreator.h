#pragma once

#include "TPuzzleCreator.h"

// A creator whose page keeps its game script as written: the marker lines are
// dropped from the template, so nothing is compressed and the page must run
// from the plain script.
class PlainPageCreator : public TPuzzleCreator
{
public:
    QByteArray templateText() const override;
};
