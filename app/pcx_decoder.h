#pragma once

#include <QImage>

#include "services/types.h"

// Decodes a run-length encoded PCX picture: 8 bits a pixel with its 256-colour palette or as
// three RGB planes, or 1 bit a pixel, monochrome or as four planes of 16 colours. A null image
// for other layouts, a header that does not add up, data that ends early, or a picture too large.
QImage decodePcx(const Bytes& bytes);
