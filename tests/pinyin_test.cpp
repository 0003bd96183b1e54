#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string_view>
#include <vector>

#include "addressing/pinyin_segment.h"
#include "services/pinyin.h"
#include "services/pinyin_table.h"

namespace {

struct SegmentCase {
    const char* name;
    Text label;  // GBK bytes
    Text segment;
};

void PrintTo(const SegmentCase& c, std::ostream* os) { *os << c.name; }

std::string caseName(const testing::TestParamInfo<SegmentCase>& info) { return info.param.name; }

class CatalogueLabelTest : public testing::TestWithParam<SegmentCase> {};

// The image host names its folders by these segments, so each must come out exactly.
TEST_P(CatalogueLabelTest, GivesTheImageHostFolderName) {
    EXPECT_EQ(toPinyinSegment(GetParam().label), GetParam().segment);
}

INSTANTIATE_TEST_SUITE_P(
    Catalogue, CatalogueLabelTest,
    testing::Values(SegmentCase{"yuwen", "\xD3\xEF\xCE\xC4", "yuwen"},                  // 语文
                    SegmentCase{"shuxue", "\xCA\xFD\xD1\xA7", "shuxue"},                // 数学
                    SegmentCase{"yingyu", "\xD3\xA2\xD3\xEF", "yingyu"},                // 英语
                    SegmentCase{"lishi", "\xC0\xFA\xCA\xB7", "lishi"},                  // 历史
                    SegmentCase{"zhengzhi", "\xD5\xFE\xD6\xCE", "zhengzhi"},            // 政治
                    SegmentCase{"wuli", "\xCE\xEF\xC0\xED", "wuli"},                    // 物理
                    SegmentCase{"shengwu", "\xC9\xFA\xCE\xEF", "shengwu"},              // 生物
                    SegmentCase{"huaxue", "\xBB\xAF\xD1\xA7", "huaxue"},                // 化学
                    SegmentCase{"dili", "\xB5\xD8\xC0\xED", "dili"},                    // 地理
                    SegmentCase{"bubianban", "\xB2\xBF\xB1\xE0\xB0\xE6", "bubianban"},  // 部编版
                    SegmentCase{"renjiaoban", "\xC8\xCB\xBD\xCC\xB0\xE6", "renjiaoban"},  // 人教版
                    SegmentCase{"sujiaoban", "\xCB\xD5\xBD\xCC\xB0\xE6", "sujiaoban"},  // 苏教版
                    SegmentCase{"beishida", "\xB1\xB1\xCA\xA6\xB4\xF3", "beishida"},    // 北师大
                    SegmentCase{"hujiaoban", "\xBB\xA6\xBD\xCC\xB0\xE6", "hujiaoban"},  // 沪教版
                    SegmentCase{"yuwenban", "\xD3\xEF\xCE\xC4\xB0\xE6", "yuwenban"},    // 语文版
                    SegmentCase{"xishidaban", "\xCE\xF7\xCA\xA6\xB4\xF3\xB0\xE6",
                                "xishidaban"},  // 西师大版
                    SegmentCase{"yinianji", "\xD2\xBB\xC4\xEA\xBC\xB6", "yinianji"},    // 一年级
                    SegmentCase{"ernianji", "\xB6\xFE\xC4\xEA\xBC\xB6", "ernianji"},    // 二年级
                    SegmentCase{"sannianji", "\xC8\xFD\xC4\xEA\xBC\xB6", "sannianji"},  // 三年级
                    SegmentCase{"sinianji", "\xCB\xC4\xC4\xEA\xBC\xB6", "sinianji"},    // 四年级
                    SegmentCase{"wunianji", "\xCE\xE5\xC4\xEA\xBC\xB6", "wunianji"},    // 五年级
                    SegmentCase{"liunianji", "\xC1\xF9\xC4\xEA\xBC\xB6", "liunianji"},  // 六年级
                    SegmentCase{"qinianji", "\xC6\xDF\xC4\xEA\xBC\xB6", "qinianji"},    // 七年级
                    SegmentCase{"banianji", "\xB0\xCB\xC4\xEA\xBC\xB6", "banianji"},    // 八年级
                    SegmentCase{"jiunianji", "\xBE\xC5\xC4\xEA\xBC\xB6", "jiunianji"},  // 九年级
                    SegmentCase{"shangce", "\xC9\xCF\xB2\xE1", "shangce"},              // 上册
                    SegmentCase{"xiace", "\xCF\xC2\xB2\xE1", "xiace"},                  // 下册
                    SegmentCase{"NothingSelected", "", ""}),
    caseName);

class TransliterationTest : public testing::TestWithParam<SegmentCase> {};

TEST_P(TransliterationTest, MapsEachCharacter) {
    EXPECT_EQ(toPinyinSegment(GetParam().label), GetParam().segment);
}

INSTANTIATE_TEST_SUITE_P(
    EdgeCases, TransliterationTest,
    testing::Values(
        SegmentCase{"AsciiLettersKeepTheirCase", "PEP\xB0\xE6", "PEPban"},          // PEP版
        SegmentCase{"DigitsStay", "2019\xB0\xE6", "2019ban"},                       // 2019版
        SegmentCase{"HalfWidthSpace", "\xC8\xCB\xBD\xCC \xB0\xE6", "renjiao ban"},  // 人教 版
        SegmentCase{"FullWidthSpace", "\xC8\xCB\xBD\xCC\xA1\xA1\xB0\xE6", "renjiao ban"},
        SegmentCase{"Tilde", "a~b", "a~b"}, SegmentCase{"FullWidthTilde", "\xA1\xAB", "~"},
        SegmentCase{"FullWidthRowA3", "\xA3\xA8\xA3\xC1\xA3\xB1\xA3\xA9", "(A1)"},  // （Ａ１）
        SegmentCase{"Stars", "\xA1\xEE\xA1\xEF", "**"},                             // ☆★
        SegmentCase{"GbkHanziWithLowLeadByte", "\x81\x40\xD3\xEF", "\x81\x40yu"},   // 丂语
        SegmentCase{"GbkHanziWithLowTrailByte", "\xB0\x40", "\xB0\x40"},            // 癅
        SegmentCase{"PunctuationPassesThrough", "\xA1\xB6\xD3\xEF\xCE\xC4\xA1\xB7",
                    "\xA1\xB6yuwen\xA1\xB7"},  // 《语文》
        SegmentCase{"CodeWithoutReading", "\xD7\xFA\xD3\xEF", "yu"},
        SegmentCase{"CutOffLeadByte", "\xD3\xEF\xD3", "yu"}, SegmentCase{"TabAlone", "\t", ""},
        // The tab shifts 语 so that the tab and its lead byte form one unit.
        SegmentCase{"TabThenHanzi", "\t\xD3\xEF", "\t"}),
    caseName);

struct HanziCodeCase {
    Text text;
    bool isHanzi;
};

TEST(IsGb2312Hanzi, TestsTheFirstTwoBytesAgainstTheHanziRows) {
    const HanziCodeCase cases[] = {
        {"\xB0\xA1", true},  {"\xF7\xFE", true},  {"\xD7\xFA", true},   {"\xB0\xA1xyz", true},
        {"\xAF\xA1", false}, {"\xF8\xA1", false}, {"\xB0\xA0", false},  {"\xB0\xFF", false},
        {"\xB0", false},     {"", false},         {"\xA3\xC1", false},  {"ab", false},
        {"\xB0 ", false},    {"\xA1\xA1", false}, {" \xB0\xA1", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isGb2312Hanzi(c.text), c.isHanzi) << testing::PrintToString(c.text);
    }
}

struct ReadingCase {
    Text code;
    Text reading;
};

TEST(PinyinOf, GivesTheFirstReadingWithoutToneAndUmlaut) {
    const ReadingCase cases[] = {
        {"\xCA\xFD", "shu"},         // 数, not shuo
        {"\xB4\xF3", "da"},          // 大, not dai
        {"\xB5\xD8", "di"},          // 地, not de
        {"\xC1\xF9", "liu"},         // 六, not lu
        {"\xD0\xD0", "xing"},        // 行, not hang
        {"\xB3\xA4", "chang"},       // 长, not zhang
        {"\xC5\xAE", "nu"},          // 女
        {"\xC2\xCC", "lu"},          // 绿
        {"\xC2\xD4", "lue"},         // 略
        {"\xB5\xD8\xC0\xED", "di"},  // 地理: only the first character counts
    };
    for (const auto& c : cases) {
        EXPECT_EQ(pinyinOf(c.code, 1), c.reading) << testing::PrintToString(c.code);
    }
}

TEST(PinyinOf, GivesNothingForOtherTexts) {
    for (const Text& text : {Text{}, Text{"\xB0"}, Text{"ab"}, Text{"\xA3\xC1"}, Text{"\x81\x40"},
                             Text{"\xB0\xA0"}, Text{"\xD7\xFA"}, Text{"\xD7\xFE"}}) {
        EXPECT_EQ(pinyinOf(text, 1), "") << testing::PrintToString(text);
    }
}

TEST(PinyinOf, CountsReadingsFromOne) {
    const Text di = "\xB5\xD8";  // 地: di, de
    EXPECT_EQ(pinyinOf(di, 2), "de");
    EXPECT_EQ(pinyinOf(di, 0), "");
    EXPECT_EQ(pinyinOf(di, -1), "");
    EXPECT_EQ(pinyinOf(di, 4), "");
}

std::vector<std::string_view> readingsOf(std::string_view entry) {
    std::vector<std::string_view> words;
    while (!entry.empty()) {
        const std::size_t end = entry.find(' ');
        words.push_back(entry.substr(0, end));
        if (end == std::string_view::npos) break;
        entry.remove_prefix(end + 1);
    }
    return words;
}

bool isLowerCaseSyllable(std::string_view word) {
    if (word.empty()) return false;
    for (char c : word) {
        if (c < 'a' || c > 'z') return false;
    }
    return true;
}

bool isUnassigned(unsigned row, unsigned column) { return row == 0xD7 && column >= 0xFA; }

TEST(PinyinTable, ReadsEveryAssignedGb2312HanziAndNothingElse) {
    for (unsigned row = 0xB0; row <= 0xF7; ++row) {
        for (unsigned column = 0xA1; column <= 0xFE; ++column) {
            const Text code{static_cast<char>(row), static_cast<char>(column)};
            const auto readings =
                readingsOf(pinyinTable[(row - 0xB0) * gb2312HanziColumnCount + (column - 0xA1)]);
            SCOPED_TRACE(testing::Message() << std::hex << row << ' ' << column);
            if (isUnassigned(row, column)) {
                EXPECT_TRUE(readings.empty());
                EXPECT_EQ(pinyinOf(code, 1), "");
                continue;
            }
            ASSERT_GE(readings.size(), 1u);
            EXPECT_LE(readings.size(), 3u);
            for (auto reading : readings) EXPECT_TRUE(isLowerCaseSyllable(reading)) << reading;
            EXPECT_EQ(pinyinOf(code, 1), readings.front());
        }
    }
}

}  // namespace
