#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <ostream>

#include "app/jpeg_decoder.h"
#include "app/pcx_decoder.h"
#include "app/picture_decoder.h"
#include "app/picture_limits.h"
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
