// What choosing the command starts: the application beside the handler and its command line.
#pragma once

#include <cstddef>

#include "common/result_codes.h"
#include "common/wide_string.h"

namespace nivra {

inline constexpr char16_t kApplicationFileName[] = u"Nivra.exe";
// The longest command line CreateProcessW takes, its terminating null included.
inline constexpr std::size_t kMaxCommandLineUnits = 32767;

// `directory` followed by "Nivra.exe".
[[nodiscard]] HResult BuildApplicationPath(const WideString& directory, WideString& path) noexcept;

// nivra -create "<selected file>", the path inserted verbatim. kFilenameTooLong, leaving
// `commandLine` as it was, when the result would not fit kMaxCommandLineUnits.
[[nodiscard]] HResult BuildCommandLine(const char16_t* selectedFile, std::size_t length,
                                       WideString& commandLine) noexcept;

}  // namespace nivra
