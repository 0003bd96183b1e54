#pragma once

#include <QImage>

#include "services/types.h"

// Decodes a PNG into 8-bit ARGB with straight alpha; a null image when the data is broken or
// the picture too large.
QImage decodePng(const Bytes& bytes);
