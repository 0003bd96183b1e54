#include "addressing/pinyin_segment.h"

#include <cstdint>

#include "services/pinyin.h"
#include "services/text.h"

bool isGb2312Hanzi(const Text& t) {
    if (textLength(removeAllSpaces(t)) <= 1) return false;
    const std::int32_t first = charCode(textLeft(t, 1)) & 0xFF;
    const std::int32_t second = charCode(textMid(t, 2, 1)) & 0xFF;
    return first >= 0xB0 && first <= 0xF7 && second >= 0xA1 && second <= 0xFE;
}

// The label is walked in units of two bytes after widening, so that an ASCII character takes a
// unit of its own like a Chinese one.
Text toPinyinSegment(const Text& label) {
    const Text wide = toFullWidth(label);
    const std::int32_t unitCount = textLength(wide) / 2;
    Text segment;
    for (std::int32_t i = 1; i <= unitCount; ++i) {
        const Text unit = textMid(wide, 2 * i - 1, 2);
        const Text piece = isGb2312Hanzi(unit) ? pinyinOf(unit, 1) : toHalfWidth(unit);
        segment = joinTexts({segment, piece});
    }
    return segment;
}
