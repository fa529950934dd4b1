#pragma once

#include <QByteArray>

// Whether a picture file of the given reader format ("jpeg", "png", "gif",
// "bmp") holds all the data it declares. The decoders accept a file cut
// short and fill the missing part with grey or black; a puzzle must not be
// made from that. Other formats are left to their decoder.
bool pictureLooksComplete(const QByteArray &bytes, const QByteArray &format);
