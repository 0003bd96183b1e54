#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

#include "services/gbk.h"

namespace {

struct Pair {
    const char* name;
    Text gbk;
    std::string utf8;
};

void PrintTo(const Pair& c, std::ostream* os) { *os << c.name; }

class GbkRoundTrip : public testing::TestWithParam<Pair> {};

TEST_P(GbkRoundTrip, ConvertsBothWays) {
    EXPECT_EQ(gbkToUtf8(GetParam().gbk), GetParam().utf8);
    EXPECT_EQ(utf8ToGbk(GetParam().utf8), GetParam().gbk);
}

INSTANTIATE_TEST_SUITE_P(
    Catalogue, GbkRoundTrip,
    testing::Values(Pair{"Empty", "", ""}, Pair{"Ascii", "page 12.jpg", "page 12.jpg"},
                    Pair{"Subject", "\xD3\xEF\xCE\xC4", "语文"},
                    Pair{"Edition", "\xC8\xCB\xBD\xCC\xB0\xE6", "人教版"},
                    Pair{"Grade", "\xC8\xFD\xC4\xEA\xBC\xB6", "三年级"},
                    Pair{"Volume", "\xCF\xC2\xB2\xE1", "下册"},
                    Pair{"SavedName",
                         "\xD3\xEF\xCE\xC4\xC8\xCB\xBD\xCC\xB0\xE6\xC8\xFD\xC4\xEA\xBC\xB6"
                         "\xCF\xC2\xB2\xE1"
                         "12.jpg",
                         "语文人教版三年级下册12.jpg"},
                    Pair{"FullWidthDigits", "\xA3\xB1\xA3\xB2", "１２"},
                    Pair{"IdeographicSpace", "\xA1\xA1", "\u3000"},
                    // GBK beyond GB2312: a traditional form from the extension rows.
                    Pair{"GbkExtension", "\x87\x40", "嘆"},
                    // Code page 936 gives the single byte 0x80 to the euro sign.
                    Pair{"EuroSign", "\x80", "€"}),
    [](const testing::TestParamInfo<Pair>& info) { return info.param.name; });

TEST(GbkToUtf8, FailsOnBytesThatAreNoGbk) {
    for (const Text& gbk :
         {Text{"\xFF"}, Text{"a\xD3"}, Text{"\x81\x20"}, Text{"\xD3\xEF\xFF\xFF"}})
        EXPECT_EQ(gbkToUtf8(gbk), std::nullopt) << testing::PrintToString(gbk);
}

TEST(Utf8ToGbk, FailsOnCharactersGbkCannotWrite) {
    for (const std::string utf8 : {"\xC3", "\xFF", "🙂", "한", "語文\xE8"})
        EXPECT_EQ(utf8ToGbk(utf8), std::nullopt) << utf8;
}

}  // namespace
