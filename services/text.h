#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "services/types.h"

// Text and number services on GBK texts. None of them fails: out-of-range positions give the
// empty text, a text without digits converts to 0.

std::int32_t textLength(const Text& t);
Text textLeft(const Text& t, std::int32_t n);
Text textMid(const Text& t, std::int32_t p, std::int32_t n);
// The first byte as a signed value (0 for the empty text); callers keep its low 8 bits.
std::int32_t charCode(const Text& t);
Text removeAllSpaces(const Text& t);
Text toFullWidth(const Text& t);
Text toHalfWidth(const Text& t);
std::int32_t toInteger(const Text& t);
Text toText(std::int32_t i);
Text joinTexts(std::initializer_list<std::string_view> parts);
