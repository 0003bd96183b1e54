#include <gtest/gtest.h>

#include <QTest>
#include <ostream>

#include "app/picture_box.h"
#include "tests/support/picture_fixtures.h"

namespace {

constexpr QSize kBoxSize{328, 408};

class PictureBoxTest : public testing::Test {
  protected:
    static void SetUpTestSuite() { ensureApplication(); }

    PictureBoxTest() { box.resize(kBoxSize); }

    QImage painted() { return box.grab().toImage(); }
    QColor background() const { return box.palette().window().color(); }

    bool showsOnlyBackground() {
        const QImage image = painted();
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (image.pixelColor(x, y) != background()) return false;
            }
        }
        return image.size() == kBoxSize;
    }

    PictureBox box;
};

std::string fixtureName(const testing::TestParamInfo<FormatFixture>& info) {
    return info.param.name;
}

class PictureBoxFormatTest : public testing::TestWithParam<FormatFixture> {
  protected:
    static void SetUpTestSuite() { ensureApplication(); }
};

TEST_P(PictureBoxFormatTest, ShowsThePictureStretchedOverTheWholeBox) {
    PictureBox box;
    box.resize(kBoxSize);
    box.setPicture(GetParam().make());
    const QImage image = box.grab().toImage();
    for (const int y : {0, 204, 407}) {
        EXPECT_TRUE(isNearColour(image.pixel(10, y), GetParam().left)) << "left, row " << y;
        EXPECT_TRUE(isNearColour(image.pixel(318, y), GetParam().right)) << "right, row " << y;
    }
}

TEST_P(PictureBoxFormatTest, CutShortShowsOnlyTheBackgroundAndKeepsTheBytes) {
    PictureBox box;
    box.resize(kBoxSize);
    const Bytes whole = GetParam().make();
    const Bytes half = truncated(whole, whole.size() / 2);
    box.setPicture(half);
    const QImage image = box.grab().toImage();
    const QColor background = box.palette().window().color();
    for (const QPoint point : {QPoint(10, 10), QPoint(164, 204), QPoint(318, 400)}) {
        EXPECT_EQ(image.pixelColor(point), background);
    }
    EXPECT_EQ(box.picture(), half);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, PictureBoxFormatTest, testing::ValuesIn(formatFixtures()),
                         fixtureName);

struct ReadBackCase {
    const char* name;
    Bytes (*make)();
};

void PrintTo(const ReadBackCase& c, std::ostream* os) { *os << c.name; }

class PictureReadBackTest : public testing::TestWithParam<ReadBackCase> {
  protected:
    static void SetUpTestSuite() { ensureApplication(); }
};

// Whatever is written reads back byte for byte, whether painted or not, whether it decodes or not.
TEST_P(PictureReadBackTest, ReadsBackExactlyTheBytesWritten) {
    PictureBox box;
    box.resize(kBoxSize);
    const Bytes written = GetParam().make();
    box.setPicture(written);
    EXPECT_EQ(box.picture(), written);
    box.grab();
    EXPECT_EQ(box.picture(), written);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PictureReadBackTest,
    testing::Values(
        ReadBackCase{"Empty", [] { return Bytes(); }},
        ReadBackCase{"HtmlErrorBody",
                     [] {
                         return toBytes(
                             "<html><head><title>404 Not Found</title></head><body>\r\n"
                             "<h1>Not Found</h1></body></html>\r\n");
                     }},
        ReadBackCase{"SevenBytesOfBmp", [] { return toBytes("BM\x36\x00\x01\x02\x03"); }},
        ReadBackCase{"EveryByteValue",
                     [] {
                         Bytes bytes;
                         for (int i = 0; i < 256; ++i)
                             bytes.push_back(static_cast<std::uint8_t>(i));
                         return bytes;
                     }},
        ReadBackCase{"Png",
                     [] {
                         return encodedWithQt(twoColourImage({4, 4}, Qt::red, Qt::blue), "png");
                     }}),
    [](const testing::TestParamInfo<ReadBackCase>& info) { return info.param.name; });

TEST_F(PictureBoxTest, StartsEmptyWithoutFocusShowingTheBackground) {
    EXPECT_TRUE(box.picture().empty());
    EXPECT_EQ(box.focusPolicy(), Qt::NoFocus);
    EXPECT_TRUE(showsOnlyBackground());
}

TEST_F(PictureBoxTest, UnrecognisedOrTooShortDataShowsOnlyTheBackground) {
    for (const Bytes& bytes :
         {toBytes("<html><body>Not Found</body></html>"), toBytes("BM\x36\x00\x01\x02\x03"),
          pngClaimingSize(encodedWithQt(twoColourImage({4, 4}, Qt::red, Qt::blue), "png"), 65535,
                          65535)}) {
        box.setPicture(bytes);
        EXPECT_TRUE(showsOnlyBackground()) << asStringView(bytes).substr(0, 8);
    }
}

TEST_F(PictureBoxTest, EmptyWriteBlanksAPictureShownBefore) {
    box.setPicture(encodedWithQt(twoColourImage({4, 4}, Qt::red, Qt::blue), "png"));
    ASSERT_FALSE(showsOnlyBackground());
    box.setPicture(Bytes());
    EXPECT_TRUE(showsOnlyBackground());
    EXPECT_TRUE(box.picture().empty());
}

TEST_F(PictureBoxTest, LaterWriteReplacesThePictureShown) {
    box.setPicture(encodedWithQt(twoColourImage({4, 4}, Qt::red, Qt::red), "png"));
    ASSERT_TRUE(isNearColour(painted().pixel(100, 100), Qt::red));
    box.setPicture(encodedWithQt(twoColourImage({4, 4}, Qt::green, Qt::green), "jpeg"));
    box.setPicture(encodedWithQt(twoColourImage({4, 4}, Qt::blue, Qt::blue), "bmp"));
    EXPECT_TRUE(isNearColour(painted().pixel(100, 100), Qt::blue));
}

// 100 × 50 becomes 328 × 408: each source column is 3.28 box columns wide, each row 8.16 tall.
TEST_F(PictureBoxTest, SmallPngIsStretchedIndependentlyInBothDirections) {
    box.setPicture(encodedWithQt(twoColourImage({100, 50}, Qt::red, Qt::blue), "png"));
    const QImage image = painted();
    for (const int y : {0, 4, 204, 403, 407}) {
        EXPECT_TRUE(isNearColour(image.pixel(0, y), Qt::red)) << "row " << y;
        EXPECT_TRUE(isNearColour(image.pixel(10, y), Qt::red)) << "row " << y;
        EXPECT_TRUE(isNearColour(image.pixel(158, y), Qt::red)) << "row " << y;
        EXPECT_TRUE(isNearColour(image.pixel(170, y), Qt::blue)) << "row " << y;
        EXPECT_TRUE(isNearColour(image.pixel(318, y), Qt::blue)) << "row " << y;
        EXPECT_TRUE(isNearColour(image.pixel(327, y), Qt::blue)) << "row " << y;
    }
}

TEST_F(PictureBoxTest, TransparentPixelsShowTheBackground) {
    QImage clear(8, 8, QImage::Format_ARGB32);
    clear.fill(Qt::transparent);
    box.setPicture(encodedWithQt(clear, "png"));
    EXPECT_TRUE(showsOnlyBackground());
}

TEST_F(PictureBoxTest, LargeJpegPageFillsTheBox) {
    box.setPicture(encodedWithQt(twoColourImage({2480, 3508}, Qt::red, Qt::blue), "jpeg"));
    const QImage image = painted();
    EXPECT_TRUE(isNearColour(image.pixel(10, 10), Qt::red));
    EXPECT_TRUE(isNearColour(image.pixel(318, 400), Qt::blue));
}

TEST_F(PictureBoxTest, AnimatedGifShowsItsFramesInTurn) {
    std::vector<std::uint8_t> allZero(16, 0);
    std::vector<std::uint8_t> allOne(16, 1);
    box.setPicture(gifBytes({4, 4}, {qRgb(255, 0, 0), qRgb(0, 255, 0)}, {allZero, allOne}, 5));
    EXPECT_TRUE(isNearColour(painted().pixel(164, 204), Qt::red));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return isNearColour(painted().pixel(164, 204), Qt::green); }, 3000));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return isNearColour(painted().pixel(164, 204), Qt::red); }, 3000));
}

}  // namespace
