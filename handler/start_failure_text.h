// The message that tells the user the document application did not start.
#pragma once

#include <cstddef>

#include "common/result_codes.h"
#include "common/wide_string.h"

namespace nivra {

// "<lead>\n\n<application>\n<reason>\n\n<advice>", the reason without the line breaks the
// system's message texts end with. Fails only with kOutOfMemory, leaving `text` as it was.
[[nodiscard]] HResult ComposeStartFailureText(const WideString& lead, const WideString& application,
                                              const char16_t* reason, std::size_t reasonLength,
                                              const WideString& advice, WideString& text) noexcept;

}  // namespace nivra
