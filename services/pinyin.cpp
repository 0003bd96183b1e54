#include "services/pinyin.h"

#include <cstddef>
#include <optional>
#include <string_view>

#include "services/pinyin_table.h"

namespace {

constexpr unsigned firstRow = 0xB0, lastRow = 0xF7;
constexpr unsigned firstColumn = 0xA1, lastColumn = 0xFE;

std::optional<std::size_t> tableIndex(const Text& t) {
    if (t.size() < 2) return std::nullopt;
    const auto row = static_cast<unsigned char>(t[0]);
    const auto column = static_cast<unsigned char>(t[1]);
    if (row < firstRow || row > lastRow || column < firstColumn || column > lastColumn) {
        return std::nullopt;
    }
    return (row - firstRow) * gb2312HanziColumnCount + (column - firstColumn);
}

// The `number`-th (1-based) of the space-separated words of `readings`; empty past the last.
std::string_view nthWord(std::string_view readings, std::int32_t number) {
    for (std::int32_t i = 1; !readings.empty(); ++i) {
        const std::size_t end = readings.find(' ');
        if (i == number) return readings.substr(0, end);
        if (end == std::string_view::npos) break;
        readings.remove_prefix(end + 1);
    }
    return {};
}

}  // namespace

Text pinyinOf(const Text& t, std::int32_t readingNumber) {
    const auto index = tableIndex(t);
    if (!index || readingNumber < 1) return {};
    return Text(nthWord(pinyinTable[*index], readingNumber));
}
