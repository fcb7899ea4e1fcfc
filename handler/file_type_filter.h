// The file-type decision: which selected files get the command.
#pragma once

#include <cstddef>

namespace nivra {

inline constexpr std::size_t kSupportedExtensionCount = 14;

// Upper case, without the dot, in strictly ascending ordinal order: the lookup is a binary
// search, so a new entry must go to its sorted place.
extern const char16_t* const g_supportedExtensions[kSupportedExtensionCount];

// True when the extension after the path's last dot (anywhere in the path, not at index 0)
// matches a table entry, ASCII letters compared without regard to case.
bool IsSupportedFile(const char16_t* path, std::size_t length) noexcept;

}  // namespace nivra
