#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "services/types.h"

// The unsigned little-endian value of `width` bytes (1 to 4) at `offset`, or nothing when those
// bytes lie past the end of the data.
inline std::optional<std::uint32_t> readLittleEndian(const Bytes& bytes, std::size_t offset,
                                                     std::size_t width) {
    if (offset > bytes.size() || bytes.size() - offset < width) return std::nullopt;
    std::uint32_t value = 0;
    for (std::size_t i = width; i > 0; --i) value = (value << 8) | bytes[offset + i - 1];
    return value;
}
