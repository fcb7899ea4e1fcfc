// The menu text as a menu shows it, for front ends that draw their own menu from a title.
#pragma once

#include <cstddef>

#include "common/result_codes.h"
#include "common/wide_string.h"

namespace nivra {

// `text` without its mnemonic markers, as a menu renders it: "&&" gives "&", a lone "&"
// (also a last one) disappears. Fails only with kOutOfMemory, leaving `title` as it was.
[[nodiscard]] HResult RemoveMnemonicMarkers(const char16_t* text, std::size_t length,
                                            WideString& title) noexcept;

}  // namespace nivra
