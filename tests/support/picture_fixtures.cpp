#include "tests/support/picture_fixtures.h"

#include <zlib.h>

#include <QApplication>
#include <QBuffer>
#include <QImageWriter>
#include <algorithm>
#include <cstdlib>

namespace {

void appendLittleEndian(Bytes& bytes, std::uint32_t value, int width) {
    for (int i = 0; i < width; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void putBigEndian16(Bytes& bytes, std::size_t offset, int value) {
    bytes[offset] = static_cast<std::uint8_t>(value >> 8);
    bytes[offset + 1] = static_cast<std::uint8_t>(value);
}

void putBigEndian32(Bytes& bytes, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

void appendRgb(Bytes& bytes, QRgb colour) {
    bytes.insert(bytes.end(), {static_cast<std::uint8_t>(qRed(colour)),
                               static_cast<std::uint8_t>(qGreen(colour)),
                               static_cast<std::uint8_t>(qBlue(colour))});
}

Bytes fromByteArray(const QByteArray& array) { return Bytes(array.begin(), array.end()); }

// LZW-coded GIF pixels with code size 2 (clear code 4, end code 5). A clear code before every
// second pixel keeps the code table from growing, so every code stays 3 bits wide.
Bytes lzwCodes(const std::vector<std::uint8_t>& indexes) {
    Bytes packed;
    std::uint32_t pending = 0;
    int pendingBits = 0;
    auto put = [&](unsigned code) {
        pending |= code << pendingBits;
        for (pendingBits += 3; pendingBits >= 8; pendingBits -= 8, pending >>= 8) {
            packed.push_back(static_cast<std::uint8_t>(pending));
        }
    };
    for (std::size_t i = 0; i < indexes.size(); ++i) {
        if (i % 2 == 0) put(4);
        put(indexes[i]);
    }
    put(5);
    if (pendingBits > 0) packed.push_back(static_cast<std::uint8_t>(pending));
    return packed;
}

void appendSubBlocks(Bytes& gif, const Bytes& data) {
    for (std::size_t at = 0; at < data.size(); at += 255) {
        const std::size_t length = std::min<std::size_t>(255, data.size() - at);
        gif.push_back(static_cast<std::uint8_t>(length));
        gif.insert(gif.end(), data.begin() + static_cast<long>(at),
                   data.begin() + static_cast<long>(at + length));
    }
    gif.push_back(0);
}

void appendGifFrame(Bytes& gif, QSize size, const std::vector<std::uint8_t>& indexes,
                    int delayCentiseconds) {
    gif.insert(gif.end(), {0x21, 0xF9, 0x04, 0x00});
    appendLittleEndian(gif, static_cast<std::uint32_t>(delayCentiseconds), 2);
    gif.insert(gif.end(), {0x00, 0x00, 0x2C, 0, 0, 0, 0});
    appendLittleEndian(gif, static_cast<std::uint32_t>(size.width()), 2);
    appendLittleEndian(gif, static_cast<std::uint32_t>(size.height()), 2);
    gif.insert(gif.end(), {0x00, 0x02});
    appendSubBlocks(gif, lzwCodes(indexes));
}

Bytes runLengthEncoded(const std::vector<std::uint8_t>& raw) {
    Bytes encoded;
    for (std::size_t i = 0; i < raw.size();) {
        std::size_t run = 1;
        while (i + run < raw.size() && run < 63 && raw[i + run] == raw[i]) ++run;
        if (run > 1 || raw[i] >= 0xC0) encoded.push_back(static_cast<std::uint8_t>(0xC0 | run));
        encoded.push_back(raw[i]);
        i += run;
    }
    return encoded;
}

Bytes pcxHeader(const PcxPicture& picture) {
    Bytes header{0x0A, picture.version, 1, picture.bitsPerPixel};
    for (int value : {0, 0, picture.width - 1, picture.height - 1, 72, 72}) {
        appendLittleEndian(header, static_cast<std::uint32_t>(value), 2);
    }
    for (QRgb colour : picture.headerPalette) appendRgb(header, colour);
    header.resize(65, 0);
    header.push_back(picture.planes);
    appendLittleEndian(header, static_cast<std::uint32_t>(picture.bytesPerLine), 2);
    appendLittleEndian(header, 1, 2);
    header.resize(128, 0);
    return header;
}

}  // namespace

void ensureApplication() {
    static int argc = 1;
    static char name[] = "picture_test";
    static char* argv[] = {name, nullptr};
    static QApplication application(argc, argv);
}

QImage twoColourImage(QSize size, QColor left, QColor right) {
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            image.setPixel(x, y, (x < size.width() / 2 ? left : right).rgb());
        }
    }
    return image;
}

Bytes encodedWithQt(const QImage& image, const char* format) {
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, 95);
    return fromByteArray(data);
}

Bytes progressiveJpeg(const QImage& image) {
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setProgressiveScanWrite(true);
    writer.write(image);
    return fromByteArray(data);
}

Bytes withRepeatedLastScan(const Bytes& jpeg, int copies) {
    std::size_t lastScan = 0;
    std::size_t position = 2;
    while (position + 1 < jpeg.size() && jpeg[position + 1] != 0xD9) {
        const bool scan = jpeg[position + 1] == 0xDA;
        if (scan) lastScan = position;
        position += 2 + (std::size_t{jpeg[position + 2]} << 8 | jpeg[position + 3]);
        while (scan && !(jpeg[position] == 0xFF && jpeg[position + 1] != 0 &&
                         (jpeg[position + 1] < 0xD0 || jpeg[position + 1] > 0xD7))) {
            ++position;
        }
    }
    Bytes repeated(jpeg.begin(), jpeg.begin() + static_cast<long>(position));
    for (int i = 0; i < copies; ++i) {
        repeated.insert(repeated.end(), jpeg.begin() + static_cast<long>(lastScan),
                        jpeg.begin() + static_cast<long>(position));
    }
    repeated.insert(repeated.end(), jpeg.begin() + static_cast<long>(position), jpeg.end());
    return repeated;
}

Bytes cursorFromIcon(const Bytes& icon) {
    Bytes cursor = icon;
    cursor[2] = 2;
    const std::size_t count = cursor[4] | std::size_t{cursor[5]} << 8;
    for (std::size_t entry = 6; entry < 6 + 16 * count; entry += 16) {
        cursor[entry + 4] = 3;  // hotspot x
        cursor[entry + 5] = 0;
        cursor[entry + 6] = 5;  // hotspot y
        cursor[entry + 7] = 0;
    }
    return cursor;
}

Bytes gifBytes(QSize size, const std::vector<QRgb>& palette,
               const std::vector<std::vector<std::uint8_t>>& frames, int delayCentiseconds) {
    Bytes gif = toBytes("GIF89a");
    appendLittleEndian(gif, static_cast<std::uint32_t>(size.width()), 2);
    appendLittleEndian(gif, static_cast<std::uint32_t>(size.height()), 2);
    gif.insert(gif.end(), {0x81, 0x00, 0x00});
    for (std::size_t i = 0; i < 4; ++i) appendRgb(gif, i < palette.size() ? palette[i] : 0);
    if (frames.size() > 1) {
        gif.insert(gif.end(), {0x21, 0xFF, 0x0B});
        const Bytes netscape = toBytes("NETSCAPE2.0");
        gif.insert(gif.end(), netscape.begin(), netscape.end());
        gif.insert(gif.end(), {0x03, 0x01, 0x00, 0x00, 0x00});
    }
    for (const auto& frame : frames) appendGifFrame(gif, size, frame, delayCentiseconds);
    gif.push_back(0x3B);
    return gif;
}

Bytes pcxBytes(const PcxPicture& picture) {
    Bytes pcx = pcxHeader(picture);
    const Bytes data = runLengthEncoded(picture.lines);
    pcx.insert(pcx.end(), data.begin(), data.end());
    if (picture.trailingPalette) {
        pcx.push_back(0x0C);
        for (QRgb colour : *picture.trailingPalette) appendRgb(pcx, colour);
        pcx.resize(pcx.size() + 3 * (256 - picture.trailingPalette->size()), 0);
    }
    return pcx;
}

Bytes twoColourPcx8(QSize size, QRgb left, QRgb right) {
    const int bytesPerLine = (size.width() + 1) / 2 * 2;
    std::vector<std::uint8_t> lines;
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < bytesPerLine; ++x) lines.push_back(x < size.width() / 2 ? 0 : 1);
    }
    return pcxBytes({5,
                     8,
                     1,
                     size.width(),
                     size.height(),
                     bytesPerLine,
                     lines,
                     {},
                     std::vector<QRgb>{left, right}});
}

Bytes blackWhitePcx1(QSize size) {
    const int bytesPerLine = (size.width() + 15) / 16 * 2;
    std::vector<std::uint8_t> lines;
    for (int y = 0; y < size.height(); ++y) {
        std::vector<std::uint8_t> line(static_cast<std::size_t>(bytesPerLine), 0);
        for (int x = size.width() / 2; x < size.width(); ++x) line[x / 8] |= 0x80 >> (x % 8);
        lines.insert(lines.end(), line.begin(), line.end());
    }
    return pcxBytes({3, 1, 1, size.width(), size.height(), bytesPerLine, lines, {}, {}});
}

Bytes jpegClaimingSize(const Bytes& jpeg, int width, int height) {
    Bytes patched = jpeg;
    std::size_t position = 2;
    while (position + 9 < patched.size() &&
           (patched[position + 1] < 0xC0 || patched[position + 1] > 0xC2)) {
        position += 2 + (std::size_t{patched[position + 2]} << 8 | patched[position + 3]);
    }
    putBigEndian16(patched, position + 5, height);
    putBigEndian16(patched, position + 7, width);
    return patched;
}

Bytes pngClaimingSize(const Bytes& png, std::uint32_t width, std::uint32_t height) {
    Bytes patched = png;
    putBigEndian32(patched, 16, width);
    putBigEndian32(patched, 20, height);
    putBigEndian32(patched, 29, static_cast<std::uint32_t>(crc32(0, patched.data() + 12, 17)));
    return patched;
}

Bytes gifClaimingSize(const Bytes& gif, int width, int height) {
    Bytes patched = gif;
    patched[6] = static_cast<std::uint8_t>(width);
    patched[7] = static_cast<std::uint8_t>(width >> 8);
    patched[8] = static_cast<std::uint8_t>(height);
    patched[9] = static_cast<std::uint8_t>(height >> 8);
    return patched;
}

Bytes rle8BmpClaimingSize(int width, int height) {
    constexpr std::uint32_t kPixelsStart = 14 + 40 + 256 * 4;
    Bytes bmp = toBytes("BM");
    for (std::uint32_t value : {kPixelsStart + 2, 0u, kPixelsStart, 40u})
        appendLittleEndian(bmp, value, 4);
    appendLittleEndian(bmp, static_cast<std::uint32_t>(width), 4);
    appendLittleEndian(bmp, static_cast<std::uint32_t>(height), 4);
    appendLittleEndian(bmp, 1, 2);
    appendLittleEndian(bmp, 8, 2);
    for (std::uint32_t value : {1u, 2u, 2835u, 2835u, 256u, 0u}) appendLittleEndian(bmp, value, 4);
    bmp.resize(kPixelsStart, 0);
    bmp.insert(bmp.end(), {0x00, 0x01});
    return bmp;
}

Bytes iconOfImages(const std::vector<Bytes>& icons) {
    constexpr std::size_t kEntry = 16;
    Bytes directory{0, 0, 1, 0};
    appendLittleEndian(directory, static_cast<std::uint32_t>(icons.size()), 2);
    Bytes images;
    std::size_t offset = 6 + kEntry * icons.size();
    for (const Bytes& icon : icons) {
        directory.insert(directory.end(), icon.begin() + 6, icon.begin() + 6 + 12);
        appendLittleEndian(directory, static_cast<std::uint32_t>(offset + images.size()), 4);
        images.insert(images.end(), icon.begin() + 6 + kEntry, icon.end());
    }
    directory.insert(directory.end(), images.begin(), images.end());
    return directory;
}

namespace {

QImage redBlue() { return twoColourImage(kFixtureSize, Qt::red, Qt::blue); }

QImage darkLightGrey() {
    return twoColourImage(kFixtureSize, QColor(40, 40, 40), QColor(220, 220, 220))
        .convertToFormat(QImage::Format_Grayscale8);
}

std::vector<std::uint8_t> leftZeroRightOne() {
    std::vector<std::uint8_t> indexes;
    for (int i = 0; i < kFixtureSize.width() * kFixtureSize.height(); ++i) {
        indexes.push_back(i % kFixtureSize.width() < kFixtureSize.width() / 2 ? 0 : 1);
    }
    return indexes;
}

Bytes redBlueGif(int frames) {
    return gifBytes(kFixtureSize, {qRgb(255, 0, 0), qRgb(0, 0, 255)},
                    std::vector(static_cast<std::size_t>(frames), leftZeroRightOne()), 5);
}

}  // namespace

const std::vector<FormatFixture>& formatFixtures() {
    static const std::vector<FormatFixture> fixtures{
        {"Bmp", [] { return encodedWithQt(redBlue(), "bmp"); }, Qt::red, Qt::blue},
        {"Jpeg", [] { return encodedWithQt(redBlue(), "jpeg"); }, Qt::red, Qt::blue},
        {"GreyJpeg", [] { return encodedWithQt(darkLightGrey(), "jpeg"); }, QColor(40, 40, 40),
         QColor(220, 220, 220)},
        {"ProgressiveJpeg", [] { return progressiveJpeg(redBlue()); }, Qt::red, Qt::blue},
        {"Png", [] { return encodedWithQt(redBlue(), "png"); }, Qt::red, Qt::blue},
        {"Icon", [] { return encodedWithQt(redBlue(), "ico"); }, Qt::red, Qt::blue},
        {"Cursor", [] { return cursorFromIcon(encodedWithQt(redBlue(), "ico")); }, Qt::red,
         Qt::blue},
        {"Gif", [] { return redBlueGif(1); }, Qt::red, Qt::blue},
        {"AnimatedGif", [] { return redBlueGif(2); }, Qt::red, Qt::blue},
        {"Pcx8", [] { return twoColourPcx8(kFixtureSize, qRgb(255, 0, 0), qRgb(0, 0, 255)); },
         Qt::red, Qt::blue},
        {"Pcx1", [] { return blackWhitePcx1(kFixtureSize); }, Qt::black, Qt::white},
    };
    return fixtures;
}

Bytes truncated(const Bytes& bytes, std::size_t length) {
    return Bytes(bytes.begin(), bytes.begin() + static_cast<long>(std::min(length, bytes.size())));
}

bool isNearColour(QRgb actual, QColor expected, int tolerance) {
    return std::abs(qRed(actual) - expected.red()) <= tolerance &&
           std::abs(qGreen(actual) - expected.green()) <= tolerance &&
           std::abs(qBlue(actual) - expected.blue()) <= tolerance;
}
