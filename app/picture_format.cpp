#include "app/picture_format.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "app/byte_reading.h"

namespace {

bool startsWith(const Bytes& bytes, std::string_view prefix) {
    return asStringView(bytes).substr(0, prefix.size()) == prefix;
}

// ICO and CUR share a header of three 16-bit words: reserved 0, the resource type and the
// number of images, which must not be 0.
bool isIconDirectory(const Bytes& bytes, std::uint32_t type) {
    return readLittleEndian(bytes, 0, 2) == 0u && readLittleEndian(bytes, 2, 2) == type &&
           readLittleEndian(bytes, 4, 2).value_or(0) > 0;
}

bool isPcx8(const Bytes& bytes) {
    return bytes[0] == 0x0A && bytes[1] <= 5 && bytes[2] == 0x01 && bytes[3] == 0x08;
}

bool isPcx1(const Bytes& bytes) {
    return bytes[0] == 0x0A && bytes[1] == 0x03 && bytes[2] == 0x01 && bytes[3] == 0x01;
}

}  // namespace

PictureFormat sniffPictureFormat(const Bytes& bytes) {
    constexpr std::size_t kSniffedBytes = 8;
    if (bytes.size() < kSniffedBytes) return PictureFormat::NotAnImage;
    if (startsWith(bytes, "BM")) return PictureFormat::Bmp;
    if (startsWith(bytes, "\xFF\xD8")) return PictureFormat::Jpeg;
    if (startsWith(bytes, "\x89PNG")) return PictureFormat::Png;
    if (isIconDirectory(bytes, 1)) return PictureFormat::Icon;
    if (isIconDirectory(bytes, 2)) return PictureFormat::Cursor;
    if (startsWith(bytes, "GIF87a") || startsWith(bytes, "GIF89a")) return PictureFormat::Gif;
    if (isPcx8(bytes)) return PictureFormat::Pcx8;
    if (isPcx1(bytes)) return PictureFormat::Pcx1;
    return PictureFormat::NotAnImage;
}
