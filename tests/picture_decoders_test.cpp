#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <ostream>
#include <utility>

#include "app/jpeg_decoder.h"
#include "app/pcx_decoder.h"
#include "app/picture_decoder.h"
#include "app/picture_limits.h"
#include "app/png_decoder.h"
#include "app/qt_image_decoder.h"
#include "tests/support/picture_fixtures.h"

namespace {

std::string fixtureName(const testing::TestParamInfo<FormatFixture>& info) {
    return info.param.name;
}

class EachFormatTest : public testing::TestWithParam<FormatFixture> {
  protected:
    static void SetUpTestSuite() { ensureApplication(); }
};

TEST_P(EachFormatTest, DecodesAtFullSizeWithItsColours) {
    const QImage image = decodePicture(GetParam().make(), QSize());
    ASSERT_EQ(image.size(), kFixtureSize);
    EXPECT_TRUE(isNearColour(image.pixel(2, 8), GetParam().left)) << std::hex << image.pixel(2, 8);
    EXPECT_TRUE(isNearColour(image.pixel(29, 8), GetParam().right))
        << std::hex << image.pixel(29, 8);
}

TEST_P(EachFormatTest, GivesNothingWhenCutShort) {
    const Bytes whole = GetParam().make();
    for (const std::size_t length : {std::size_t{16}, whole.size() / 2, whole.size() * 3 / 4}) {
        EXPECT_TRUE(decodePicture(truncated(whole, length), QSize()).isNull())
            << length << " of " << whole.size() << " bytes";
    }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, EachFormatTest, testing::ValuesIn(formatFixtures()),
                         fixtureName);

}  // namespace

namespace {

class DecoderTest : public testing::Test {
  protected:
    static void SetUpTestSuite() { ensureApplication(); }
};

struct JpegScaleCase {
    const char* name;
    QSize source;
    QSize cover;
    QSize decoded;
};

void PrintTo(const JpegScaleCase& c, std::ostream* os) { *os << c.name; }

class JpegScaleTest : public testing::TestWithParam<JpegScaleCase> {
  protected:
    static void SetUpTestSuite() { ensureApplication(); }
};

TEST_P(JpegScaleTest, DecodesAtTheSmallestScaleThatCoversTheBox) {
    const Bytes jpeg = encodedWithQt(twoColourImage(GetParam().source, Qt::red, Qt::blue), "jpeg");
    EXPECT_EQ(decodeJpeg(jpeg, GetParam().cover).size(), GetParam().decoded);
}

constexpr QSize kBox{328, 408};

// libjpeg rounds scaled dimensions up: 2480 × 2/8 = 620, 3508 × 2/8 = 876.5 → 877.
INSTANTIATE_TEST_SUITE_P(
    Table, JpegScaleTest,
    testing::Values(JpegScaleCase{"ScannedPageAtTwoEighths", {2480, 3508}, kBox, {620, 877}},
                    JpegScaleCase{"ExactlyCoveredAtHalf", {656, 816}, kBox, {328, 408}},
                    JpegScaleCase{
                        "OnePixelShortAtHalfTakesFiveEighths", {654, 816}, kBox, {409, 510}},
                    JpegScaleCase{"SmallerThanTheBox", {100, 50}, kBox, {100, 50}},
                    JpegScaleCase{"LowBannerStaysFullSize", {3000, 300}, kBox, {3000, 300}},
                    JpegScaleCase{"NoTargetMeansFullSize", {2480, 3508}, QSize(), {2480, 3508}}),
    [](const testing::TestParamInfo<JpegScaleCase>& info) { return info.param.name; });

TEST_F(DecoderTest, JpegGreyIsWidenedToThreeEqualChannels) {
    const QImage grey(QSize(16, 16), QImage::Format_Grayscale8);
    QImage ramp = grey;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) ramp.scanLine(y)[x] = static_cast<uchar>(x * 16 + y);
    }
    const QImage image = decodeJpeg(encodedWithQt(ramp, "jpeg"), QSize());
    ASSERT_EQ(image.size(), QSize(16, 16));
    for (const QPoint point : {QPoint(0, 0), QPoint(7, 3), QPoint(15, 15)}) {
        const QRgb pixel = image.pixel(point);
        EXPECT_EQ(qRed(pixel), qGreen(pixel));
        EXPECT_EQ(qGreen(pixel), qBlue(pixel));
    }
}

TEST_F(DecoderTest, JpegWhoseScanEndsEarlyGivesNothing) {
    QImage noise(64, 64, QImage::Format_RGB32);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x)
            noise.setPixel(x, y, qRgb(x * 37 % 256, y * 91 % 256, x * y % 256));
    }
    const Bytes jpeg = encodedWithQt(noise, "jpeg");
    Bytes shortScan = truncated(jpeg, jpeg.size() * 3 / 4);
    shortScan.insert(shortScan.end(), {0xFF, 0xD9});
    EXPECT_TRUE(decodeJpeg(shortScan, QSize()).isNull());
}

TEST_F(DecoderTest, JpegWithTooManyScansGivesNothing) {
    const Bytes progressive = progressiveJpeg(twoColourImage(kFixtureSize, Qt::red, Qt::blue));
    EXPECT_FALSE(decodeJpeg(withRepeatedLastScan(progressive, 50), QSize()).isNull());
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(decodeJpeg(withRepeatedLastScan(progressive, 1100), QSize()).isNull());
    EXPECT_LT(timer.elapsed(), 5000);
}

TEST_F(DecoderTest, CorruptJpegGivesNothing) {
    Bytes jpeg = encodedWithQt(twoColourImage(kFixtureSize, Qt::red, Qt::blue), "jpeg");
    std::fill(jpeg.begin() + 20, jpeg.begin() + 200, 0x5A);
    EXPECT_TRUE(decodeJpeg(jpeg, QSize()).isNull());
}

TEST_F(DecoderTest, PngWithBrokenChecksumGivesNothing) {
    Bytes png = encodedWithQt(twoColourImage(kFixtureSize, Qt::red, Qt::blue), "png");
    png[png.size() - 20] ^= 0xFF;
    EXPECT_TRUE(decodePng(png).isNull());
}

struct LimitCase {
    std::int64_t width;
    std::int64_t height;
    bool fits;
};

TEST(PictureLimitTest, AllowsAtMost256MebibytesOfFourBytePixels) {
    const LimitCase cases[] = {
        {8192, 8192, true},    {8192, 8193, false},    {1, 67108864, true}, {1, 67108865, false},
        {65535, 65535, false}, {0, 10, false},         {10, 0, false},      {-1, -1, false},
        {1, 1, true},          {4294967296, 1, false},
    };
    for (const LimitCase& c : cases) {
        EXPECT_EQ(fitsPictureLimit(c.width, c.height), c.fits) << c.width << " x " << c.height;
    }
}

struct HugeCase {
    const char* name;
    Bytes (*make)();
};

void PrintTo(const HugeCase& c, std::ostream* os) { *os << c.name; }

class HugeHeaderTest : public testing::TestWithParam<HugeCase> {
  protected:
    static void SetUpTestSuite() { ensureApplication(); }
};

TEST_P(HugeHeaderTest, GivesNothingQuickly) {
    const Bytes bytes = GetParam().make();
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(decodePicture(bytes, QSize(328, 408)).isNull());
    EXPECT_LT(timer.elapsed(), 2000);
}

Bytes smallRedBlue(const char* format) {
    return encodedWithQt(twoColourImage(kFixtureSize, Qt::red, Qt::blue), format);
}

INSTANTIATE_TEST_SUITE_P(
    Claims65535By65535, HugeHeaderTest,
    testing::Values(
        HugeCase{"Jpeg", [] { return jpegClaimingSize(smallRedBlue("jpeg"), 65535, 65535); }},
        HugeCase{"ProgressiveJpeg",
                 [] {
                     return jpegClaimingSize(
                         progressiveJpeg(twoColourImage(kFixtureSize, Qt::red, Qt::blue)), 65535,
                         65535);
                 }},
        HugeCase{"Png", [] { return pngClaimingSize(smallRedBlue("png"), 65535, 65535); }},
        HugeCase{"Bmp", [] { return rle8BmpClaimingSize(65535, 65535); }},
        HugeCase{"Gif",
                 [] {
                     return gifClaimingSize(gifBytes({2, 2}, {qRgb(255, 0, 0)}, {{0, 0, 0, 0}}, 0),
                                            65535, 65535);
                 }},
        HugeCase{"Pcx",
                 [] {
                     return pcxBytes({5, 8, 1, 65535, 65535, 65536 - 1, {0, 0, 0, 0}, {}, {}});
                 }}),
    [](const testing::TestParamInfo<HugeCase>& info) { return info.param.name; });

}  // namespace

namespace {

const std::vector<QRgb> kFourColours{qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255),
                                     qRgb(255, 255, 0)};

struct PcxCase {
    const char* name;
    PcxPicture picture;
    std::vector<QRgb> expectedRows;  // the decoded pixels row by row
};

void PrintTo(const PcxCase& c, std::ostream* os) { *os << c.name; }

class PcxLayoutTest : public testing::TestWithParam<PcxCase> {
  protected:
    static void SetUpTestSuite() { ensureApplication(); }
};

TEST_P(PcxLayoutTest, DecodesEveryPixel) {
    const PcxPicture& picture = GetParam().picture;
    const QImage image = decodePcx(pcxBytes(picture));
    ASSERT_EQ(image.size(), QSize(picture.width, picture.height));
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            EXPECT_EQ(image.pixel(x, y), GetParam().expectedRows[y * picture.width + x])
                << "at " << x << "," << y;
        }
    }
}

std::vector<QRgb> repeated(QRgb colour, std::size_t count) {
    return std::vector<QRgb>(count, colour);
}

std::vector<QRgb> paletteWithHighIndex() {
    std::vector<QRgb> palette = kFourColours;
    palette.resize(256, qRgb(0, 0, 0));
    palette[0xC5] = qRgb(10, 20, 30);
    return palette;
}

const QRgb kHigh = qRgb(10, 20, 30);
const QRgb kRed = qRgb(255, 0, 0);
const QRgb kGreen = qRgb(0, 255, 0);
const QRgb kBlue = qRgb(0, 0, 255);
const QRgb kYellow = qRgb(255, 255, 0);
const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kWhite = qRgb(255, 255, 255);

INSTANTIATE_TEST_SUITE_P(
    Table, PcxLayoutTest,
    testing::Values(
        // Odd bytes a line, as some writers make them, and an index of 0xC0 or more, which
        // must be written as a run of one.
        PcxCase{"OddBytesPerLine",
                {5, 8, 1, 3, 2, 3, {0, 0xC5, 2, 1, 1, 0}, {}, paletteWithHighIndex()},
                {kRed, kHigh, kBlue, kGreen, kGreen, kRed}},
        PcxCase{"PaddingAfterTheWidthIsIgnored",
                {5, 8, 1, 3, 2, 6, {0, 1, 2, 3, 3, 3, 2, 1, 0, 3, 3, 3}, {}, kFourColours},
                {kRed, kGreen, kBlue, kBlue, kGreen, kRed}},
        PcxCase{"RunsCarryOnAcrossLines",
                {5, 8, 1, 10, 20, 10, std::vector<std::uint8_t>(200, 3), {}, kFourColours},
                repeated(kYellow, 200)},
        PcxCase{"ThreeRgbPlanes",
                {5, 8, 3, 2, 1, 2, {255, 10, 0, 20, 0, 30}, {}, {}},
                {qRgb(255, 0, 0), qRgb(10, 20, 30)}},
        PcxCase{"Monochrome",
                {3, 1, 1, 10, 1, 2, {0b10100000, 0b01000000}, {}, {}},
                {kWhite, kBlack, kWhite, kBlack, kBlack, kBlack, kBlack, kBlack, kBlack, kWhite}},
        // Plane 0 holds bit 0 of each colour index, plane 3 bit 3.
        PcxCase{"FourPlanesOfSixteenColours",
                {5,
                 1,
                 4,
                 4,
                 1,
                 2,
                 {0b10010000, 0, 0b01010000, 0, 0b00010000, 0, 0b00010000, 0},
                 {kBlack, kRed, kGreen, kBlue, kYellow, kWhite, kBlack, kBlack, kBlack, kBlack,
                  kBlack, kBlack, kBlack, kBlack, kBlack, kWhite},
                 {}},
                {kRed, kGreen, kBlack, kWhite}}),
    [](const testing::TestParamInfo<PcxCase>& info) { return info.param.name; });

struct BrokenPcxCase {
    const char* name;
    Bytes bytes;
};

void PrintTo(const BrokenPcxCase& c, std::ostream* os) { *os << c.name; }

class BrokenPcxTest : public testing::TestWithParam<BrokenPcxCase> {};

TEST_P(BrokenPcxTest, GivesNothing) { EXPECT_TRUE(decodePcx(GetParam().bytes).isNull()); }

Bytes validPcx8() {
    return pcxBytes({5, 8, 1, 4, 2, 4, std::vector<std::uint8_t>(8, 1), {}, kFourColours});
}

Bytes withByte(Bytes bytes, std::size_t offset, std::uint8_t value) {
    bytes[offset] = value;
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Table, BrokenPcxTest,
    testing::Values(
        BrokenPcxCase{
            "BytesPerLineShorterThanWidth",
            pcxBytes({5, 8, 1, 8, 2, 6, std::vector<std::uint8_t>(12, 1), {}, kFourColours})},
        BrokenPcxCase{"MonochromeLineShorterThanWidth",
                      pcxBytes({3, 1, 1, 17, 1, 2, {0, 0}, {}, {}})},
        BrokenPcxCase{"LeftEdgeBeyondRightEdge", withByte(validPcx8(), 4, 9)},
        BrokenPcxCase{"TopEdgeBelowBottomEdge", withByte(validPcx8(), 6, 9)},
        BrokenPcxCase{"NoPaletteMarker", withByte(validPcx8(), validPcx8().size() - 769, 0)},
        BrokenPcxCase{
            "DataEndsBeforeTheLastLine",
            pcxBytes({5, 8, 1, 4, 3, 4, std::vector<std::uint8_t>(8, 1), {}, kFourColours})},
        BrokenPcxCase{"RunWithoutItsValue",
                      [] {
                          Bytes pcx = pcxBytes({3, 1, 1, 8, 1, 2, {}, {}, {}});
                          pcx.push_back(0xC2);
                          return pcx;
                      }()},
        BrokenPcxCase{"TwoPlanesOfEightBits",
                      pcxBytes({5, 8, 2, 2, 1, 2, {1, 2, 3, 4}, {}, kFourColours})},
        BrokenPcxCase{"FourBitsPerPixel", withByte(validPcx8(), 3, 4)},
        BrokenPcxCase{"HeaderOnly", truncated(validPcx8(), 127)}),
    [](const testing::TestParamInfo<BrokenPcxCase>& info) { return info.param.name; });

TEST_F(DecoderTest, IconShowsItsLargestImage) {
    const Bytes icon =
        iconOfImages({encodedWithQt(twoColourImage({16, 16}, Qt::red, Qt::red), "ico"),
                      encodedWithQt(twoColourImage({48, 48}, Qt::blue, Qt::blue), "ico"),
                      encodedWithQt(twoColourImage({32, 32}, Qt::green, Qt::green), "ico")});
    const QImage image = decodeIcon(icon);
    ASSERT_EQ(image.size(), QSize(48, 48));
    EXPECT_TRUE(isNearColour(image.pixel(24, 24), Qt::blue));
}

TEST_F(DecoderTest, GifCountsAsAnimatedOnlyWithSeveralWholeFrames) {
    const std::vector<std::uint8_t> frame{0, 1, 1, 0};
    const Bytes single = gifBytes({2, 2}, kFourColours, {frame}, 5);
    const Bytes animated = gifBytes({2, 2}, kFourColours, {frame, frame}, 5);
    EXPECT_FALSE(isAnimatedGif(single));
    EXPECT_TRUE(isAnimatedGif(animated));
    EXPECT_FALSE(isAnimatedGif(truncated(animated, animated.size() - 4)));
}

TEST_F(DecoderTest, GifWithoutItsTrailerStillShows) {
    const Bytes gif = gifBytes({2, 2}, kFourColours, {{0, 1, 2, 3}}, 0);
    const QImage image = decodeGif(truncated(gif, gif.size() - 1));
    ASSERT_EQ(image.size(), QSize(2, 2));
    EXPECT_EQ(image.pixel(1, 1), kYellow);
}

TEST_F(DecoderTest, GifWithAnUnknownBlockGivesNothing) {
    Bytes gif = gifBytes({2, 2}, kFourColours, {{0, 1, 2, 3}}, 0);
    const std::size_t firstBlock = 13 + 4 * 3;
    gif.insert(gif.begin() + firstBlock, 0x99);
    EXPECT_TRUE(decodeGif(gif).isNull());
}

TEST_F(DecoderTest, BmpWhosePixelRowsAreCutGivesNothing) {
    const Bytes bmp = encodedWithQt(twoColourImage({40, 40}, Qt::red, Qt::blue), "bmp");
    EXPECT_FALSE(decodeBmp(bmp).isNull());
    EXPECT_TRUE(decodeBmp(truncated(bmp, bmp.size() - 1)).isNull());
}

// Width times bit depth times height of such a header is far beyond 64 bits.
TEST_F(DecoderTest, BmpHeaderWithExtremeDimensionsGivesNothing) {
    Bytes bmp = toBytes("BM");
    const auto put = [&bmp](std::uint32_t value, int width) {
        for (int i = 0; i < width; ++i) bmp.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    };
    const std::pair<std::uint32_t, int> fields[] = {
        {70, 4}, {0, 4},          {54, 4},          // file size, reserved, pixel offset
        {40, 4}, {0x7FFFFFFF, 4}, {0x80000000, 4},  // header size, width, height (top-down)
        {1, 2},  {0xFFFF, 2},     {0, 4},           // planes, bits a pixel, uncompressed
        {0, 4},  {0, 4},          {0, 4},          {0, 4}, {0, 4}};
    for (const auto& [value, width] : fields) put(value, width);
    bmp.resize(bmp.size() + 16, 0xFF);
    EXPECT_TRUE(decodeBmp(bmp).isNull());
    EXPECT_TRUE(decodePicture(bmp, QSize(328, 408)).isNull());
}

}  // namespace
