#include "app/png_decoder.h"

#include <png.h>

#include "app/picture_limits.h"

namespace {

// QImage::Format_ARGB32 keeps each pixel as one 32-bit word, so its byte order in memory
// follows the machine's.
constexpr png_uint_32 kArgb32Layout =
    Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? PNG_FORMAT_BGRA : PNG_FORMAT_ARGB;

QImage readPixels(png_image& png) {
    if (!fitsPictureLimit(png.width, png.height)) return {};
    png.format = kArgb32Layout;
    QImage image(static_cast<int>(png.width), static_cast<int>(png.height), QImage::Format_ARGB32);
    if (image.isNull()) return {};
    // The row stride counts components, which are single bytes here.
    const auto stride = static_cast<png_int_32>(image.bytesPerLine());
    if (!png_image_finish_read(&png, nullptr, image.bits(), stride, nullptr)) return {};
    return image;
}

}  // namespace

QImage decodePng(const Bytes& bytes) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    QImage image;
    if (png_image_begin_read_from_memory(&png, bytes.data(), bytes.size())) image = readPixels(png);
    png_image_free(&png);
    return image;
}
