#include "app/picture_completeness.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "app/byte_reading.h"

namespace {

constexpr std::uint32_t kOs2BitmapHeaderSize = 12;
constexpr std::uint32_t kWindowsBitmapHeaderSize = 40;

struct BmpGeometry {
    std::int64_t width;
    std::int64_t height;
    std::int64_t bitsPerPixel;
    std::uint32_t compression;
};

BmpGeometry readBmpGeometry(const Bytes& bytes, std::uint32_t headerSize) {
    if (headerSize == kOs2BitmapHeaderSize) {
        return {readLittleEndian(bytes, 18, 2).value_or(0),
                readLittleEndian(bytes, 20, 2).value_or(0),
                readLittleEndian(bytes, 24, 2).value_or(0), 0};
    }
    const auto signedWidth = static_cast<std::int32_t>(readLittleEndian(bytes, 18, 4).value_or(0));
    const auto signedHeight = static_cast<std::int32_t>(readLittleEndian(bytes, 22, 4).value_or(0));
    return {std::abs(std::int64_t{signedWidth}), std::abs(std::int64_t{signedHeight}),
            readLittleEndian(bytes, 28, 2).value_or(0), readLittleEndian(bytes, 30, 4).value_or(0)};
}

// Uncompressed rows: BI_RGB, BI_BITFIELDS and BI_ALPHABITFIELDS.
bool hasUncompressedRows(std::uint32_t compression) {
    return compression == 0 || compression == 3 || compression == 6;
}

// Steps over a chain of GIF data sub-blocks ending with an empty one.
bool skipSubBlocks(const Bytes& bytes, std::size_t& position) {
    while (position < bytes.size()) {
        const std::size_t length = bytes[position];
        position += 1 + length;
        if (length == 0) return true;
    }
    return false;
}

std::size_t colourTableSize(std::uint8_t flags) {
    return (flags & 0x80) ? 3 * (std::size_t{2} << (flags & 0x07)) : 0;
}

// Steps over an image descriptor, its local colour table, the LZW code size and the image data.
bool skipImage(const Bytes& bytes, std::size_t& position) {
    constexpr std::size_t kDescriptorSize = 10;
    if (bytes.size() - position < kDescriptorSize) return false;
    position += kDescriptorSize + colourTableSize(bytes[position + 9]) + 1;
    return skipSubBlocks(bytes, position);
}

constexpr std::uint8_t kImageIntroducer = 0x2C;
constexpr std::uint8_t kExtensionIntroducer = 0x21;
constexpr std::uint8_t kTrailer = 0x3B;

bool skipBlock(const Bytes& bytes, std::size_t& position) {
    switch (bytes[position]) {
        case kImageIntroducer:
            return skipImage(bytes, position);
        case kExtensionIntroducer:
            position += 2;
            return skipSubBlocks(bytes, position);
        default:
            return false;
    }
}

}  // namespace

bool isCompleteBmp(const Bytes& bytes) {
    const std::uint32_t headerSize = readLittleEndian(bytes, 14, 4).value_or(0);
    if (headerSize != kOs2BitmapHeaderSize && headerSize < kWindowsBitmapHeaderSize) return true;
    const BmpGeometry geometry = readBmpGeometry(bytes, headerSize);
    if (!hasUncompressedRows(geometry.compression)) return true;
    const std::int64_t rowBytes = (geometry.width * geometry.bitsPerPixel + 31) / 32 * 4;
    const std::int64_t pixelsStart = readLittleEndian(bytes, 10, 4).value_or(0);
    const std::int64_t available = static_cast<std::int64_t>(bytes.size()) - pixelsStart;
    // Compared by division: rows of a header's extreme width and bit depth times its extreme
    // height overflow 64 bits.
    return available >= 0 && (rowBytes == 0 || geometry.height <= available / rowBytes);
}

bool isCompleteIconDirectory(const Bytes& bytes) {
    constexpr std::size_t kDirectoryHeaderSize = 6;
    constexpr std::size_t kEntrySize = 16;
    const std::uint32_t count = readLittleEndian(bytes, 4, 2).value_or(0);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t entry = kDirectoryHeaderSize + i * kEntrySize;
        const auto size = readLittleEndian(bytes, entry + 8, 4);
        const auto offset = readLittleEndian(bytes, entry + 12, 4);
        if (!size || !offset) return false;
        if (std::uint64_t{*offset} + *size > bytes.size()) return false;
    }
    return true;
}

bool isCompleteGif(const Bytes& bytes) {
    constexpr std::size_t kScreenDescriptorEnd = 13;
    if (bytes.size() < kScreenDescriptorEnd) return false;
    std::size_t position = kScreenDescriptorEnd + colourTableSize(bytes[10]);
    bool hasImage = false;
    while (position < bytes.size()) {
        const std::uint8_t introducer = bytes[position];
        if (introducer == kTrailer) break;
        if (!skipBlock(bytes, position)) return false;
        hasImage = hasImage || introducer == kImageIntroducer;
    }
    return hasImage && position <= bytes.size();
}
