// toInteger against a plain reading of the rules: half-width first, leading white space, one
// sign, digits accumulated with 32-bit wrap-around. Round trips through toText, in both widths.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "services/text.h"

namespace {

std::int32_t expectedInteger(const Text& text) {
    const Text half = toHalfWidth(text);
    std::size_t i = 0;
    while (i < half.size() && (half[i] == ' ' || (half[i] >= 0x09 && half[i] <= 0x0D))) ++i;
    bool negative = false;
    if (i < half.size() && (half[i] == '+' || half[i] == '-')) negative = half[i++] == '-';
    std::uint32_t value = 0;
    for (; i < half.size() && half[i] >= '0' && half[i] <= '9'; ++i)
        value = value * 10u + static_cast<std::uint32_t>(half[i] - '0');
    return static_cast<std::int32_t>(negative ? 0u - value : value);
}

void require(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Text text(reinterpret_cast<const char*>(data), size);
    const std::int32_t value = toInteger(text);
    require(value == expectedInteger(text));
    require(toInteger(toText(value)) == value);
    require(toInteger(toFullWidth(toText(value))) == value);
    return 0;
}
