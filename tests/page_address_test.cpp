#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>

#include "addressing/hosts.h"
#include "addressing/page_address.h"

namespace {

const Text directory = "/home/user/textbook-pages";

// 语文, 人教版, 三年级, 下册 in GBK.
const CatalogueSelection grade3Chinese{"\xD3\xEF\xCE\xC4", "\xC8\xCB\xBD\xCC\xB0\xE6",
                                       "\xC8\xFD\xC4\xEA\xBC\xB6", "\xCF\xC2\xB2\xE1"};
const Text grade3ChineseRaw =
    "\xD3\xEF\xCE\xC4\xC8\xCB\xBD\xCC\xB0\xE6\xC8\xFD\xC4\xEA\xBC\xB6"
    "\xCF\xC2\xB2\xE1";
const Text grade3ChinesePath = "/img/jiaocai/yuwen/renjiaoban/sannianjixiace/";

struct AddressCase {
    const char* name;
    CatalogueSelection selection;
    std::int32_t page;
    Text addressPath;  // after "http://" and the image host
    Text fileName;     // after the directory and "/"
};

void PrintTo(const AddressCase& c, std::ostream* os) { *os << c.name; }

class PageAddressTest : public testing::TestWithParam<AddressCase> {};

TEST_P(PageAddressTest, JoinsSegmentsAndPage) {
    const auto& c = GetParam();
    EXPECT_EQ(pageAddress(volumeFolderAddress(c.selection), c.page),
              "http://" + imageHost + c.addressPath);
}

TEST_P(PageAddressTest, SavedFileNameJoinsRawLabelsAndPage) {
    const auto& c = GetParam();
    EXPECT_EQ(savedFileName(directory, c.selection, c.page), directory + "/" + c.fileName);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PageAddressTest,
    testing::Values(
        AddressCase{"Example", grade3Chinese, 12, grade3ChinesePath + "12.jpg",
                    grade3ChineseRaw + "12.jpg"},
        AddressCase{"NothingSelected", {}, 1, "/img/jiaocai////1.jpg", "1.jpg"},
        AddressCase{"OnlyGradeUnselected",
                    {grade3Chinese.subject, grade3Chinese.edition, "", grade3Chinese.volume},
                    12,
                    "/img/jiaocai/yuwen/renjiaoban/xiace/12.jpg",
                    "\xD3\xEF\xCE\xC4\xC8\xCB\xBD\xCC\xB0\xE6\xCF\xC2\xB2\xE1"
                    "12.jpg"},
        AddressCase{"PageZero", grade3Chinese, 0, grade3ChinesePath + "0.jpg",
                    grade3ChineseRaw + "0.jpg"},
        AddressCase{"NegativePage", grade3Chinese, -1, grade3ChinesePath + "-1.jpg",
                    grade3ChineseRaw + "-1.jpg"},
        AddressCase{"LargestPage", grade3Chinese, INT32_MAX, grade3ChinesePath + "2147483647.jpg",
                    grade3ChineseRaw + "2147483647.jpg"},
        AddressCase{"SmallestPage", grade3Chinese, INT32_MIN, grade3ChinesePath + "-2147483648.jpg",
                    grade3ChineseRaw + "-2147483648.jpg"},
        // Nothing is percent-encoded: a space reaches the address as it is.
        AddressCase{"SpaceInLabel",
                    {"PEP", "a b", "", ""},
                    3,
                    "/img/jiaocai/PEP/a b//3.jpg",
                    "PEPa b3.jpg"}),
    [](const testing::TestParamInfo<AddressCase>& info) { return info.param.name; });

TEST(SavedFileName, AddsAForwardSlashWhateverTheDirectoryUses) {
    EXPECT_EQ(savedFileName("C:\\books", {}, 1), "C:\\books/1.jpg");
}

}  // namespace
