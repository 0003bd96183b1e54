#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A GBK byte string: a byte of 0x80 or above starts a two-byte character together with the
// byte after it. Lengths count bytes, positions are 1-based.
using Text = std::string;

// A block of binary data: a response body, an image, a file's content. Empty means "nothing".
using Bytes = std::vector<std::uint8_t>;

inline Bytes toBytes(std::string_view s) { return Bytes(s.begin(), s.end()); }

inline std::string_view asStringView(const Bytes& b) {
    return {reinterpret_cast<const char*>(b.data()), b.size()};
}
