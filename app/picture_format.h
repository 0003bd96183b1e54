#pragma once

#include "services/types.h"

// The image formats the picture box recognises by the leading bytes of its data.
enum class PictureFormat { NotAnImage, Bmp, Jpeg, Png, Icon, Cursor, Gif, Pcx8, Pcx1 };

// Decides the format from the first 8 bytes alone; data shorter than 8 bytes is never an image.
PictureFormat sniffPictureFormat(const Bytes& bytes);
