// The handler's one command: offset 0, verb "adoc".
#pragma once

#include <cstddef>

namespace nivra {

inline constexpr std::size_t kCommandVerbCount = 1;

// Sorted ordinally like the extension table; the index is the command's offset.
extern const char16_t* const g_commandVerbs[kCommandVerbCount];

// Index of the verb that equals `verb` exactly (case-sensitive), or -1.
std::ptrdiff_t FindCommandVerb(const char16_t* verb, std::size_t length) noexcept;

}  // namespace nivra
