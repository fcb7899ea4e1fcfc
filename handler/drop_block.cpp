#include "handler/drop_block.h"

#include <cstdint>

namespace nivra {

namespace {

constexpr std::size_t kNamesOffsetField = 0;
constexpr std::size_t kWideFlagField = 16;

std::uint32_t ReadField(const unsigned char* bytes) noexcept {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

}  // namespace

bool IsWellFormedDropBlock(const unsigned char* block, std::size_t size) noexcept {
    if (block == nullptr || size < kDropHeaderBytes)
        return false;
    const std::size_t offset = ReadField(block + kNamesOffsetField);
    if (offset >= size)
        return false;
    const std::size_t unit = ReadField(block + kWideFlagField) != 0 ? 2 : 1;
    // Every reader stops at or before the first pair of zero units: at the empty name that ends
    // the list, or at the second unit of an empty list.
    bool previousWasZero = false;
    for (std::size_t at = offset; size - at >= unit; at += unit) {
        const bool zero = block[at] == 0 && (unit == 1 || block[at + 1] == 0);
        if (zero && previousWasZero)
            return true;
        previousWasZero = zero;
    }
    return false;
}

}  // namespace nivra
