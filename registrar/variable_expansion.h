// Replaces every %NAME% of a script by the variable's value before any token is read.
#pragma once

#include <cstddef>

#include "common/result_codes.h"
#include "registrar/variable_lookup.h"

namespace nivra {

// Longest variable name that is looked up; a longer one is refused with kFail.
inline constexpr std::size_t kMaxVariableNameLength = 31;

// On success *expanded is a new terminated text from the allocation seam, which the caller
// frees with MemFree; on failure it is null. "%%" gives "%"; an unknown name or a "%" without
// its closing "%" gives kDispException.
[[nodiscard]] HResult ExpandVariables(const char16_t* script, const IVariableLookup& variables,
                                      char16_t** expanded) noexcept;

}  // namespace nivra
