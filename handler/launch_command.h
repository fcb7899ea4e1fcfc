// What choosing the command starts: the application beside the handler and its command line.
#pragma once

#include <cstddef>

#include "common/result_codes.h"
#include "common/wide_string.h"

namespace nivra {

inline constexpr char16_t kApplicationFileName[] = u"Nivra.exe";

// `directory` followed by "Nivra.exe".
[[nodiscard]] HResult BuildApplicationPath(const WideString& directory, WideString& path) noexcept;

// nivra -create "<selected file>", the path inserted verbatim.
[[nodiscard]] HResult BuildCommandLine(const char16_t* selectedFile, std::size_t length,
                                       WideString& commandLine) noexcept;

}  // namespace nivra
