#pragma once

#include <array>
#include <cstddef>
#include <string_view>

// GB2312's first- and second-level Hanzi: rows 0xB0..0xF7, columns 0xA1..0xFE.
inline constexpr std::size_t gb2312HanziRowCount = 72;
inline constexpr std::size_t gb2312HanziColumnCount = 94;
inline constexpr std::size_t gb2312HanziCodeCount = gb2312HanziRowCount * gb2312HanziColumnCount;

// The readings of each GB2312 Hanzi code at (row - 0xB0) * 94 + (column - 0xA1): up to three
// lower-case syllables without tone, separated by single spaces, the first reading leading.
// Empty for the unassigned codes.
extern const std::array<std::string_view, gb2312HanziCodeCount> pinyinTable;
