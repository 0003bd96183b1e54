#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "services/types.h"

// Conversions between GBK texts and UTF-8; nullopt when a character has no counterpart.
std::optional<std::string> gbkToUtf8(const Text& gbk);
std::optional<Text> utf8ToGbk(std::string_view utf8);
