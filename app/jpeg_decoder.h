#pragma once

#include <QImage>
#include <QSize>

#include "services/types.h"

// Decodes a JPEG into 8-bit RGB (grey widened to three equal channels). To save time on large
// pages it decodes at the smallest DCT scale N/8 whose output still covers `cover` in both
// directions, or at full size when even that does not; an empty `cover` means full size.
// The image has the decoded size. A null image when the data is corrupt or cut short (its end
// marker included), too large, or has more scans than a real picture needs.
QImage decodeJpeg(const Bytes& bytes, QSize cover);
