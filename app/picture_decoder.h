#pragma once

#include <QImage>
#include <QSize>

#include "services/types.h"

// Decodes data in whichever format its leading bytes name. JPEGs are decoded at a reduced scale
// that still covers `cover`; other formats at full size. A null image when the format is not
// recognised or the data does not decode.
QImage decodePicture(const Bytes& bytes, QSize cover);
