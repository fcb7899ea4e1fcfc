// Ordinal lookup in the handler's sorted tables: UTF-16 units compared as unsigned numbers,
// the first difference deciding, a proper prefix sorting first.
#pragma once

#include <cstddef>

namespace nivra {

// <0, 0 or >0 as `a` sorts before, equal to or after `b`.
int CompareOrdinal(const char16_t* a, std::size_t aLength, const char16_t* b,
                   std::size_t bLength) noexcept;
int CompareOrdinal(const char16_t* a, const char16_t* b) noexcept;

// Binary search for `key` in `count` terminated strings sorted ordinally. Returns the index of
// the equal entry, or -1.
std::ptrdiff_t FindOrdinal(const char16_t* const* table, std::size_t count, const char16_t* key,
                           std::size_t keyLength) noexcept;

}  // namespace nivra
