#pragma once

#include <QByteArray>

// The page template, read once from the program's resources.
const QByteArray &puzzlecode();
