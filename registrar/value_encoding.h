// How the text of a value token becomes registry data for the "M", "D" and "B" types.
#pragma once

#include <cstddef>
#include <cstdint>

namespace nivra {

// Writes `text` into `out` (room for length + 2 units) with each backslash-zero pair turned
// into a NUL and two NULs appended. Returns the units to store: the list ends at the first
// empty string, which is counted.
std::size_t EncodeMultiString(const char16_t* text, std::size_t length, char16_t* out) noexcept;

// Plain decimal digits only, at most 0xFFFFFFFF; anything else (empty, signs, other
// characters, overflow) is refused.
bool ParseDword(const char16_t* text, std::uint32_t* value) noexcept;

// 0-9, A-F and a-f give their values; every other character gives 0.
std::uint8_t HexDigitValue(char16_t unit) noexcept;

// Fills `out` (length / 2 bytes, zeroed by the caller) from an even number of hex digits.
void DecodeBinary(const char16_t* text, std::size_t length, std::uint8_t* out) noexcept;

}  // namespace nivra
