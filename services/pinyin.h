#pragma once

#include <cstdint>

#include "services/types.h"

// The pinyin reading `readingNumber` (1 = the first, up to 3) of the GB2312 Hanzi that the
// first two bytes of `t` encode: lower-case ASCII letters, no tone, ü written u. Empty when
// the bytes are no GB2312 Hanzi code or the character has no such reading.
Text pinyinOf(const Text& t, std::int32_t readingNumber);
