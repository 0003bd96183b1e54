#pragma once

#include "services/types.h"

// Qt's readers show whatever part of a BMP or GIF is there when the data is cut short. These
// checks walk the file's own structure so that a cut-off file gives no picture instead.

// A BMP whose uncompressed pixel rows all lie within the data; compressed ones pass.
bool isCompleteBmp(const Bytes& bytes);

// An ICO or CUR whose every directory entry points at image data within the data.
bool isCompleteIconDirectory(const Bytes& bytes);

// A GIF whose blocks all end within the data and that holds at least one whole image; a missing
// trailer after the last whole block is tolerated.
bool isCompleteGif(const Bytes& bytes);
