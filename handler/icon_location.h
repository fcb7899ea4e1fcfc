// An icon location as the shell reads one: a file and a resource identifier.
#pragma once

#include <cstdint>

#include "common/result_codes.h"
#include "common/wide_string.h"

namespace nivra {

// "<module path>,-<id>": the minus asks for the icon group with that resource identifier,
// not for the id-th icon. Fails only with kOutOfMemory.
[[nodiscard]] HResult BuildIconLocation(const WideString& modulePath, std::uint16_t id,
                                        WideString& location) noexcept;

}  // namespace nivra
