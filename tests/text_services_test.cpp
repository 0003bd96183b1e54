#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>

#include "services/text.h"

namespace {

struct IntegerCase {
    const char* name;
    Text input;
    std::int32_t expected;
};

void PrintTo(const IntegerCase& c, std::ostream* os) { *os << c.name; }

class ToIntegerTest : public testing::TestWithParam<IntegerCase> {};

TEST_P(ToIntegerTest, ReadsTheLeadingNumber) {
    EXPECT_EQ(toInteger(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ToIntegerTest,
    testing::Values(IntegerCase{"Empty", "", 0},
                    IntegerCase{"FullWidthDigits", "\xA3\xB1\xA3\xB2", 12},
                    IntegerCase{"TrailingText", "12\xD2\xB3", 12},
                    IntegerCase{"LeadingFullWidthSpace",
                                "\xA1\xA1"
                                "7",
                                7},
                    IntegerCase{"LettersOnly", "abc", 0}, IntegerCase{"LeadingZeros", "007", 7},
                    IntegerCase{"LeadingBlanks", " \t\r\n12", 12}, IntegerCase{"Plus", "+5", 5},
                    IntegerCase{"Minus", "-5", -5},
                    IntegerCase{"FullWidthMinus",
                                "\xA3\xAD"
                                "3",
                                -3},
                    IntegerCase{"SignWithoutDigits", "-", 0}, IntegerCase{"DoubleSign", "--5", 0},
                    IntegerCase{"Max", "2147483647", 2147483647},
                    IntegerCase{"Min", "-2147483648", INT32_MIN},
                    IntegerCase{"WrapsPastMax", "2147483648", INT32_MIN},
                    IntegerCase{"TwoToThe32PlusOne", "4294967297", 1},
                    IntegerCase{"LargeNegativeWraps", "-4294967297", -1},
                    IntegerCase{"ManyDigitsWrap", "99999999999999999999", 1661992959}),
    [](const testing::TestParamInfo<IntegerCase>& info) { return info.param.name; });

TEST(ToText, WritesDecimalLikePrintf) {
    EXPECT_EQ(toText(0), "0");
    EXPECT_EQ(toText(-1), "-1");
    EXPECT_EQ(toText(2147483647), "2147483647");
    EXPECT_EQ(toText(INT32_MIN), "-2147483648");
}

TEST(TextPositions, LeftAndMidStayInsideTheText) {
    const Text abc = "abc";
    EXPECT_EQ(textLeft(abc, 0), "");
    EXPECT_EQ(textLeft(abc, -1), "");
    EXPECT_EQ(textLeft(abc, 2), "ab");
    EXPECT_EQ(textLeft(abc, 9), "abc");
    EXPECT_EQ(textMid(abc, 3, 2), "c");
    EXPECT_EQ(textMid(abc, 4, 1), "");
    EXPECT_EQ(textMid(abc, 0, 1), "");
    EXPECT_EQ(textMid(abc, 1, 0), "");
    EXPECT_EQ(textMid(abc, 2, 1), "b");
}

TEST(CharCode, IsSignedFirstByte) {
    EXPECT_EQ(charCode(""), 0);
    EXPECT_EQ(charCode("A"), 65);
    EXPECT_EQ(charCode("\xB0\xA1"), -80);
    EXPECT_EQ(charCode("\xB0\xA1") & 0xFF, 0xB0);
}

TEST(WidthConversion, HalfWidthUndoesFullWidthForPrintableAscii) {
    for (int c = 0x20; c <= 0x7E; ++c) {
        const Text ascii(1, static_cast<char>(c));
        const Text wide = toFullWidth(ascii);
        EXPECT_EQ(wide.size(), 2u) << c;
        EXPECT_EQ(toHalfWidth(wide), ascii) << c;
    }
}

TEST(WidthConversion, ByteRules) {
    EXPECT_EQ(toFullWidth(" ~A\t\x7F"), "\xA1\xA1\xA1\xAB\xA3\xC1\t\x7F");
    EXPECT_EQ(toFullWidth("\xD3\xEF"), "\xD3\xEF");
    EXPECT_EQ(toFullWidth("a\xD3"), "\xA3\xE1");
    EXPECT_EQ(toHalfWidth("\xA1\xEE\xA1\xEF\xA3\xFE\xA1\xB6"), "**~\xA1\xB6");
    EXPECT_EQ(toHalfWidth("\t\xD3"), "\t");
    // A trail byte below 0x80 still belongs to its lead byte.
    EXPECT_EQ(toHalfWidth("\x81\x41"
                          "A"),
              "\x81\x41"
              "A");
}

TEST(RemoveAllSpaces, DropsBothWidthsKeepsOtherBlanks) {
    EXPECT_EQ(removeAllSpaces(" a\xA1\xA1"
                              "b\t\n "),
              "ab\t\n");
    // 0x20 as the trail byte of a two-byte character is not a space.
    EXPECT_EQ(removeAllSpaces("\x81\x20x"), "\x81\x20x");
    EXPECT_EQ(removeAllSpaces("x\xB0"), "x");
}

TEST(JoinTexts, ConcatenatesInOrder) {
    EXPECT_EQ(joinTexts({}), "");
    EXPECT_EQ(joinTexts({"a", "", "bc", "/"}), "abc/");
}

}  // namespace
