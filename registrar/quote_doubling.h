// Makes a text safe to stand inside a quoted script token by doubling its single quotes.
#pragma once

#include <cstddef>

#include "common/result_codes.h"

namespace nivra {

// `capacity` counts units including the terminator. Copies until the source ends or
// capacity - 1 units are written; a quote's second copy is written only if it still fits, so
// the result is always terminated. kInvalidArg for a null text or a capacity of 0.
HResult DoubleSingleQuotes(char16_t* destination, std::size_t capacity,
                           const char16_t* source) noexcept;

}  // namespace nivra
