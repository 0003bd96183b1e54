#pragma once

#include <QImage>

#include "services/types.h"

// The formats that Qt's own image readers decode for the picture box. Each gives a null image
// when the data is broken, cut short or too large.
QImage decodeBmp(const Bytes& bytes);
// The first frame of a GIF; an animated one is played by the picture box itself.
QImage decodeGif(const Bytes& bytes);
// The largest of the images in an ICO or CUR file.
QImage decodeIcon(const Bytes& bytes);

// Whether the data is a whole GIF, small enough, with more than one frame.
bool isAnimatedGif(const Bytes& bytes);
