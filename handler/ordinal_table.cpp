#include "handler/ordinal_table.h"

#include "common/wide_string.h"

namespace nivra {

int CompareOrdinal(const char16_t* a, std::size_t aLength, const char16_t* b,
                   std::size_t bLength) noexcept {
    const std::size_t common = aLength < bLength ? aLength : bLength;
    for (std::size_t i = 0; i < common; ++i) {
        if (a[i] != b[i])
            return static_cast<unsigned>(a[i]) < static_cast<unsigned>(b[i]) ? -1 : 1;
    }
    if (aLength == bLength)
        return 0;
    return aLength < bLength ? -1 : 1;
}

int CompareOrdinal(const char16_t* a, const char16_t* b) noexcept {
    return CompareOrdinal(a, TextLength(a), b, TextLength(b));
}

std::ptrdiff_t FindOrdinal(const char16_t* const* table, std::size_t count, const char16_t* key,
                           std::size_t keyLength) noexcept {
    // Lower bound: the first entry that is not less than the key.
    std::size_t first = 0;
    std::size_t remaining = count;
    while (remaining > 0) {
        const std::size_t half = remaining / 2;
        const std::size_t middle = first + half;
        if (CompareOrdinal(table[middle], TextLength(table[middle]), key, keyLength) < 0) {
            first = middle + 1;
            remaining -= half + 1;
        } else {
            remaining = half;
        }
    }
    if (first < count &&
        CompareOrdinal(table[first], TextLength(table[first]), key, keyLength) == 0) {
        return static_cast<std::ptrdiff_t>(first);
    }
    return -1;
}

}  // namespace nivra
