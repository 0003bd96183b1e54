#include "app/pcx_decoder.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "app/byte_reading.h"
#include "app/picture_limits.h"

namespace {

constexpr std::size_t kHeaderSize = 128;
constexpr std::size_t kHeaderPaletteOffset = 16;
// An 8-bit picture ends with the marker 0x0C and 256 RGB triples.
constexpr std::size_t kTrailingPaletteSize = 1 + 256 * 3;
constexpr std::uint8_t kTrailingPaletteMarker = 0x0C;

struct PcxLayout {
    int bitsPerPixel;
    int planes;
    int width;
    int height;
    std::size_t bytesPerLine;  // of one plane, padding included
};

// The run-length coded pixel data between the header and the palette, read byte by byte.
// A run may carry on into the next line.
struct RunLengthStream {
    const Bytes* data;
    std::size_t position;
    std::size_t end;
    std::uint8_t runValue;
    unsigned runLeft;
};

bool isSupportedLayout(int bitsPerPixel, int planes) {
    if (bitsPerPixel == 8) return planes == 1 || planes == 3;
    if (bitsPerPixel == 1) return planes == 1 || planes == 4;
    return false;
}

std::optional<PcxLayout> readLayout(const Bytes& bytes) {
    if (bytes.size() < kHeaderSize || bytes[0] != 0x0A || bytes[2] != 1) return std::nullopt;
    const std::int64_t width =
        std::int64_t{*readLittleEndian(bytes, 8, 2)} - *readLittleEndian(bytes, 4, 2) + 1;
    const std::int64_t height =
        std::int64_t{*readLittleEndian(bytes, 10, 2)} - *readLittleEndian(bytes, 6, 2) + 1;
    const PcxLayout layout{bytes[3], bytes[65], static_cast<int>(width), static_cast<int>(height),
                           *readLittleEndian(bytes, 66, 2)};
    if (!isSupportedLayout(layout.bitsPerPixel, layout.planes)) return std::nullopt;
    if (!fitsPictureLimit(width, height)) return std::nullopt;
    const auto bytesForWidth = static_cast<std::size_t>((width * layout.bitsPerPixel + 7) / 8);
    if (layout.bytesPerLine < bytesForWidth) return std::nullopt;
    return layout;
}

bool hasTrailingPalette(const Bytes& bytes) {
    return bytes.size() >= kHeaderSize + kTrailingPaletteSize &&
           bytes[bytes.size() - kTrailingPaletteSize] == kTrailingPaletteMarker;
}

QList<QRgb> readPalette(const Bytes& bytes, std::size_t offset, int colours) {
    QList<QRgb> palette;
    for (int i = 0; i < colours; ++i) {
        const std::size_t at = offset + static_cast<std::size_t>(i) * 3;
        palette.append(qRgb(bytes[at], bytes[at + 1], bytes[at + 2]));
    }
    return palette;
}

bool nextByte(RunLengthStream& stream, std::uint8_t& byte) {
    while (stream.runLeft == 0) {
        if (stream.position >= stream.end) return false;
        const std::uint8_t code = (*stream.data)[stream.position++];
        if ((code & 0xC0) != 0xC0) {
            byte = code;
            return true;
        }
        if (stream.position >= stream.end) return false;
        stream.runLeft = code & 0x3Fu;
        stream.runValue = (*stream.data)[stream.position++];
    }
    --stream.runLeft;
    byte = stream.runValue;
    return true;
}

bool readLine(RunLengthStream& stream, std::vector<std::uint8_t>& line) {
    for (std::uint8_t& byte : line) {
        if (!nextByte(stream, byte)) return false;
    }
    return true;
}

void storeIndexed8(const PcxLayout&, const std::uint8_t* line, uchar* out, int width) {
    std::memcpy(out, line, static_cast<std::size_t>(width));
}

void storeRgbPlanes(const PcxLayout& layout, const std::uint8_t* line, uchar* out, int width) {
    auto* pixels = reinterpret_cast<QRgb*>(out);
    const std::size_t plane = layout.bytesPerLine;
    for (int x = 0; x < width; ++x) {
        pixels[x] = qRgb(line[x], line[plane + x], line[2 * plane + x]);
    }
}

void storeMonochrome(const PcxLayout&, const std::uint8_t* line, uchar* out, int width) {
    std::memcpy(out, line, static_cast<std::size_t>((width + 7) / 8));
}

// Each plane holds one bit of the colour index, the first plane the lowest.
void storeSixteenColours(const PcxLayout& layout, const std::uint8_t* line, uchar* out, int width) {
    for (int x = 0; x < width; ++x) {
        const int shift = 7 - x % 8;
        uchar index = 0;
        for (int plane = 0; plane < 4; ++plane) {
            const std::uint8_t byte = line[plane * layout.bytesPerLine + x / 8];
            index |= static_cast<uchar>(((byte >> shift) & 1) << plane);
        }
        out[x] = index;
    }
}

using StoreLine = void (*)(const PcxLayout&, const std::uint8_t*, uchar*, int);

struct PixelTarget {
    QImage::Format format;
    StoreLine store;
};

PixelTarget pixelTargetFor(const PcxLayout& layout) {
    if (layout.bitsPerPixel == 8 && layout.planes == 1)
        return {QImage::Format_Indexed8, storeIndexed8};
    if (layout.bitsPerPixel == 8) return {QImage::Format_RGB32, storeRgbPlanes};
    if (layout.planes == 1) return {QImage::Format_Mono, storeMonochrome};
    return {QImage::Format_Indexed8, storeSixteenColours};
}

bool decodeLines(const PcxLayout& layout, RunLengthStream stream, StoreLine store, QImage& image) {
    std::vector<std::uint8_t> line(layout.bytesPerLine * static_cast<std::size_t>(layout.planes));
    for (int y = 0; y < layout.height; ++y) {
        if (!readLine(stream, line)) return false;
        store(layout, line.data(), image.scanLine(y), layout.width);
    }
    return true;
}

// The colours of the palette-based layouts; false when an 8-bit picture has no palette.
bool setColours(const PcxLayout& layout, const Bytes& bytes, QImage& image) {
    if (layout.bitsPerPixel == 8 && layout.planes == 1) {
        if (!hasTrailingPalette(bytes)) return false;
        image.setColorTable(readPalette(bytes, bytes.size() - kTrailingPaletteSize + 1, 256));
    } else if (layout.planes == 4) {
        image.setColorTable(readPalette(bytes, kHeaderPaletteOffset, 16));
    } else if (layout.bitsPerPixel == 1) {
        image.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    }
    return true;
}

std::size_t pixelDataEnd(const PcxLayout& layout, const Bytes& bytes) {
    const bool palette = layout.bitsPerPixel == 8 && layout.planes == 1;
    return palette ? bytes.size() - kTrailingPaletteSize : bytes.size();
}

}  // namespace

QImage decodePcx(const Bytes& bytes) {
    const std::optional<PcxLayout> layout = readLayout(bytes);
    if (!layout) return {};
    const PixelTarget target = pixelTargetFor(*layout);
    QImage image(layout->width, layout->height, target.format);
    if (image.isNull() || !setColours(*layout, bytes, image)) return {};
    const RunLengthStream stream{&bytes, kHeaderSize, pixelDataEnd(*layout, bytes), 0, 0};
    if (!decodeLines(*layout, stream, target.store, image)) return {};
    return image;
}
