// The folder of a module, from its full file name.
#pragma once

#include <cstdint>

#include "common/result_codes.h"
#include "common/wide_string.h"

namespace nivra {

// Fills `buffer` (room for `capacity` units, terminator included) with the module's full path.
// Returns the units written without terminator, `capacity` itself when the name was cut, and
// 0 on failure (as GetModuleFileNameW).
using ModuleFileNameSource = std::uint32_t (*)(void* context, char16_t* buffer,
                                               std::uint32_t capacity);

// The module's full path, however long; empty when the platform call fails. Asks with
// capacities 261, 521, 781, ... until the name fits. Fails only with kOutOfMemory.
[[nodiscard]] HResult GetModulePathFrom(ModuleFileNameSource source, void* context,
                                        WideString& path) noexcept;

// The module's path up to and including its last backslash; the whole name when it has no
// backslash; empty when the platform call fails. Fails only with kOutOfMemory.
[[nodiscard]] HResult GetModuleDirectoryFrom(ModuleFileNameSource source, void* context,
                                             WideString& directory) noexcept;

}  // namespace nivra
