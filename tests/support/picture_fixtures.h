#pragma once

#include <QColor>
#include <QImage>
#include <QSize>
#include <cstdint>
#include <optional>
#include <ostream>
#include <vector>

#include "services/types.h"

// Small pictures in every format the picture box reads, made by the tests themselves.

// Creates the process's QApplication once; widgets and Qt's image readers need it.
void ensureApplication();

// A picture whose left half is `left` and right half `right`.
QImage twoColourImage(QSize size, QColor left, QColor right);

// The picture encoded by Qt's writer for `format` ("png", "jpeg", "bmp", "ico").
Bytes encodedWithQt(const QImage& image, const char* format);
Bytes progressiveJpeg(const QImage& image);
// The JPEG with its last scan repeated `copies` more times before the end marker.
Bytes withRepeatedLastScan(const Bytes& jpeg, int copies);
// An ICO turned into a cursor: resource type 2 and a hotspot in each entry.
Bytes cursorFromIcon(const Bytes& icon);

// A GIF of index frames (one colour index a pixel, row by row) over a palette of up to four
// colours; more than one frame makes it animated, `delayCentiseconds` apart, looping.
Bytes gifBytes(QSize size, const std::vector<QRgb>& palette,
               const std::vector<std::vector<std::uint8_t>>& frames, int delayCentiseconds);

struct PcxPicture {
    std::uint8_t version;
    std::uint8_t bitsPerPixel;
    std::uint8_t planes;
    int width;
    int height;
    int bytesPerLine;
    std::vector<std::uint8_t> lines;  // unencoded: height × planes × bytesPerLine
    std::vector<QRgb> headerPalette;  // up to 16 colours
    std::optional<std::vector<QRgb>> trailingPalette;  // 256 colours, written after the data
};

// The PCX file, its lines run-length encoded greedily, runs carrying on across lines.
Bytes pcxBytes(const PcxPicture& picture);
// An 8-bit, one-plane PCX of a two-colour picture: indexes 0 and 1 of a 256-colour palette.
Bytes twoColourPcx8(QSize size, QRgb left, QRgb right);
// A 1-bit monochrome PCX: the left half black, the right half white.
Bytes blackWhitePcx1(QSize size);

// The same data announcing other dimensions in its header.
Bytes jpegClaimingSize(const Bytes& jpeg, int width, int height);
Bytes pngClaimingSize(const Bytes& png, std::uint32_t width, std::uint32_t height);
Bytes gifClaimingSize(const Bytes& gif, int width, int height);
// A run-length compressed 8-bit BMP of the given dimensions whose data ends at once.
Bytes rle8BmpClaimingSize(int width, int height);

// One ICO holding the images of several single-image ICO files, in their order.
Bytes iconOfImages(const std::vector<Bytes>& icons);

// One small picture in one format, its left half of one colour and its right half of another.
struct FormatFixture {
    const char* name;
    Bytes (*make)();
    QColor left;
    QColor right;
};

inline void PrintTo(const FormatFixture& fixture, std::ostream* os) { *os << fixture.name; }

inline constexpr QSize kFixtureSize{32, 16};
// Every format the picture box reads, JPEG in its grey, colour and progressive forms.
const std::vector<FormatFixture>& formatFixtures();

Bytes truncated(const Bytes& bytes, std::size_t length);
bool isNearColour(QRgb actual, QColor expected, int tolerance = 24);
