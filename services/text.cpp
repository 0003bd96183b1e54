#include "services/text.h"

#include <cstdint>

namespace {

bool isLeadByte(unsigned char b) { return b >= 0x80; }

// Calls `onChar` with each character of `t` as a view of one or two bytes; a lead byte that
// ends the text is dropped.
template <typename OnChar>
void forEachCharacter(const Text& t, OnChar onChar) {
    for (std::size_t i = 0; i < t.size();) {
        if (!isLeadByte(static_cast<unsigned char>(t[i]))) {
            onChar(std::string_view(t).substr(i, 1));
            i += 1;
        } else if (i + 1 < t.size()) {
            onChar(std::string_view(t).substr(i, 2));
            i += 2;
        } else {
            break;
        }
    }
}

void appendHalfWidth(Text& out, std::string_view c) {
    if (c.size() == 2) {
        const auto lead = static_cast<unsigned char>(c[0]);
        const auto trail = static_cast<unsigned char>(c[1]);
        if (lead == 0xA1 && trail == 0xA1) return out.push_back(' ');
        if (lead == 0xA1 && trail == 0xAB) return out.push_back('~');
        if (lead == 0xA1 && (trail == 0xEE || trail == 0xEF)) return out.push_back('*');
        if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE) {
            return out.push_back(static_cast<char>(trail - 0x80));
        }
    }
    out.append(c);
}

void appendFullWidth(Text& out, std::string_view c) {
    const auto b = static_cast<unsigned char>(c[0]);
    if (c.size() == 2 || b < 0x20 || b == 0x7F) {
        out.append(c);
    } else if (b == 0x20) {
        out.append("\xA1\xA1");
    } else if (b == 0x7E) {
        out.append("\xA1\xAB");
    } else {
        out.push_back('\xA3');
        out.push_back(static_cast<char>(b + 0x80));
    }
}

bool isAsciiSpace(char c) { return c == ' ' || (c >= 0x09 && c <= 0x0D); }

}  // namespace

std::int32_t textLength(const Text& t) { return static_cast<std::int32_t>(t.size()); }

Text textLeft(const Text& t, std::int32_t n) {
    if (n <= 0) return {};
    return t.substr(0, static_cast<std::size_t>(n));
}

Text textMid(const Text& t, std::int32_t p, std::int32_t n) {
    if (p < 1 || p > textLength(t) || n <= 0) return {};
    return t.substr(static_cast<std::size_t>(p - 1), static_cast<std::size_t>(n));
}

std::int32_t charCode(const Text& t) {
    if (t.empty()) return 0;
    return static_cast<std::int8_t>(t[0]);
}

Text removeAllSpaces(const Text& t) {
    Text out;
    forEachCharacter(t, [&](std::string_view c) {
        if (c != " " && c != "\xA1\xA1") out.append(c);
    });
    return out;
}

Text toFullWidth(const Text& t) {
    Text out;
    forEachCharacter(t, [&](std::string_view c) { appendFullWidth(out, c); });
    return out;
}

Text toHalfWidth(const Text& t) {
    Text out;
    forEachCharacter(t, [&](std::string_view c) { appendHalfWidth(out, c); });
    return out;
}

std::int32_t toInteger(const Text& t) {
    const Text half = toHalfWidth(t);
    std::size_t i = 0;
    while (i < half.size() && isAsciiSpace(half[i])) ++i;
    bool negative = false;
    if (i < half.size() && (half[i] == '+' || half[i] == '-')) negative = half[i++] == '-';
    // Unsigned arithmetic wraps modulo 2^32, which is what a page number beyond 32 bits gives.
    std::uint32_t value = 0;
    for (; i < half.size() && half[i] >= '0' && half[i] <= '9'; ++i) {
        value = value * 10u + static_cast<std::uint32_t>(half[i] - '0');
    }
    if (negative) value = 0u - value;
    return static_cast<std::int32_t>(value);
}

Text toText(std::int32_t i) { return std::to_string(i); }

Text joinTexts(std::initializer_list<std::string_view> parts) {
    Text out;
    std::size_t size = 0;
    for (auto part : parts) size += part.size();
    out.reserve(size);
    for (auto part : parts) out.append(part);
    return out;
}
