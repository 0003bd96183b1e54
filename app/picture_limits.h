#pragma once

#include <cstdint>

// The largest picture the box decodes, counted as 4 bytes a pixel: bigger data gives no picture
// rather than exhausting memory.
inline constexpr std::int64_t kMaxPictureBytes = std::int64_t{256} * 1024 * 1024;

// Whether a picture of these dimensions may be decoded: both positive, within the byte limit.
inline bool fitsPictureLimit(std::int64_t width, std::int64_t height) {
    return width > 0 && height > 0 && width <= kMaxPictureBytes / 4 &&
           width * height * 4 <= kMaxPictureBytes;
}
