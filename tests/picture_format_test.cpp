#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "app/picture_format.h"

namespace {

struct SniffCase {
    const char* name;
    std::string bytes;
    PictureFormat expected;
};

void PrintTo(const SniffCase& c, std::ostream* os) { *os << c.name; }

class SniffPictureFormatTest : public testing::TestWithParam<SniffCase> {};

TEST_P(SniffPictureFormatTest, DecidesByTheLeadingBytes) {
    EXPECT_EQ(sniffPictureFormat(toBytes(GetParam().bytes)), GetParam().expected);
}

using std::string_literals::operator""s;

INSTANTIATE_TEST_SUITE_P(
    Table, SniffPictureFormatTest,
    testing::Values(
        SniffCase{"Empty", "", PictureFormat::NotAnImage},
        SniffCase{"Bmp", "BM\x36\0\0\0\0\0"s, PictureFormat::Bmp},
        SniffCase{"BmpOfSevenBytes", "BM\x36\0\0\0\0"s, PictureFormat::NotAnImage},
        SniffCase{"LowerCaseBm", "bm\x36\0\0\0\0\0"s, PictureFormat::NotAnImage},
        SniffCase{"Jpeg", "\xFF\xD8\xFF\xE0\0\x10JF"s, PictureFormat::Jpeg},
        SniffCase{"JpegOfSevenBytes", "\xFF\xD8\xFF\xE0\0\x10J"s, PictureFormat::NotAnImage},
        SniffCase{"FfWithoutD8", "\xFF\xD9\xFF\xE0\0\x10JF"s, PictureFormat::NotAnImage},
        SniffCase{"Png", "\x89PNG\r\n\x1A\n", PictureFormat::Png},
        SniffCase{"PngWithoutHighByte", "\x09PNG\r\n\x1A\n", PictureFormat::NotAnImage},
        SniffCase{"Icon", "\0\0\1\0\1\0\x10\x10"s, PictureFormat::Icon},
        SniffCase{"IconOfManyImages", "\0\0\1\0\0\1\x10\x10"s, PictureFormat::Icon},
        SniffCase{"IconOfNoImages", "\0\0\1\0\0\0\x10\x10"s, PictureFormat::NotAnImage},
        SniffCase{"IconWithReservedWord", "\0\1\1\0\1\0\x10\x10"s, PictureFormat::NotAnImage},
        SniffCase{"IconTypeHighByte", "\0\0\1\1\1\0\x10\x10"s, PictureFormat::NotAnImage},
        SniffCase{"Cursor", "\0\0\2\0\1\0\x10\x10"s, PictureFormat::Cursor},
        SniffCase{"CursorOfNoImages", "\0\0\2\0\0\0\x10\x10"s, PictureFormat::NotAnImage},
        SniffCase{"ResourceTypeThree", "\0\0\3\0\1\0\x10\x10"s, PictureFormat::NotAnImage},
        SniffCase{"Gif87a", "GIF87a\x10\0"s, PictureFormat::Gif},
        SniffCase{"Gif89a", "GIF89a\x10\0"s, PictureFormat::Gif},
        SniffCase{"Gif88a", "GIF88a\x10\0"s, PictureFormat::NotAnImage},
        SniffCase{"GifOfSixBytes", "GIF89a", PictureFormat::NotAnImage},
        SniffCase{"Pcx8Version5", "\x0A\x05\x01\x08\0\0\0\0"s, PictureFormat::Pcx8},
        SniffCase{"Pcx8Version0", "\x0A\x00\x01\x08\0\0\0\0"s, PictureFormat::Pcx8},
        SniffCase{"Pcx8Version6", "\x0A\x06\x01\x08\0\0\0\0"s, PictureFormat::NotAnImage},
        SniffCase{"Pcx8Uncompressed", "\x0A\x05\x00\x08\0\0\0\0"s, PictureFormat::NotAnImage},
        SniffCase{"Pcx4BitsPerPixel", "\x0A\x05\x01\x04\0\0\0\0"s, PictureFormat::NotAnImage},
        SniffCase{"Pcx1", "\x0A\x03\x01\x01\0\0\0\0"s, PictureFormat::Pcx1},
        SniffCase{"Pcx1Version5", "\x0A\x05\x01\x01\0\0\0\0"s, PictureFormat::NotAnImage},
        SniffCase{"Pcx1OfSevenBytes", "\x0A\x03\x01\x01\0\0\0"s, PictureFormat::NotAnImage},
        SniffCase{"HtmlErrorPage", "<html><head>", PictureFormat::NotAnImage}),
    [](const testing::TestParamInfo<SniffCase>& info) { return info.param.name; });

}  // namespace
