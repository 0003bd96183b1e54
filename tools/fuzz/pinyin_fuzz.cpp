// Transliteration and the width conversions on arbitrary bytes, with the invariants the page
// address relies on.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "addressing/pinyin_segment.h"
#include "services/text.h"

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

bool isLeadByte(char c) { return static_cast<unsigned char>(c) >= 0x80; }

// Every byte of 0x80 or above has its second byte: nothing ends in half a character.
bool endsOnCharacterBoundary(const Text& t) {
    std::size_t i = 0;
    while (i < t.size()) i += isLeadByte(t[i]) ? 2 : 1;
    return i == t.size();
}

bool isPrintableAscii(const Text& t) {
    for (const char c : t)
        if (c < 0x20 || c > 0x7E) return false;
    return true;
}

// After widening, no printable ASCII character or space stands on its own.
bool hasNoNarrowPrintable(const Text& t) {
    for (std::size_t i = 0; i < t.size(); i += isLeadByte(t[i]) ? 2 : 1)
        if (t[i] >= 0x20 && t[i] <= 0x7E) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Text label(reinterpret_cast<const char*>(data), size);
    const Text wide = toFullWidth(label);
    const Text half = toHalfWidth(label);
    const Text segment = toPinyinSegment(label);

    require(wide.size() <= 2 * label.size());
    require(half.size() <= label.size());
    require(endsOnCharacterBoundary(wide));
    require(endsOnCharacterBoundary(half));
    require(endsOnCharacterBoundary(segment));
    require(hasNoNarrowPrintable(wide));
    require(toHalfWidth(wide) == toHalfWidth(half));
    // Every piece is ASCII or a character without a half-width form.
    require(toHalfWidth(segment) == segment);
    if (isPrintableAscii(label)) {
        require(toHalfWidth(wide) == label);
        require(segment == label);
    }
    return 0;
}
