// Starting the document application: the one launch that every front end of the command uses.
#pragma once

#include <cstddef>

#include "common/result_codes.h"

namespace nivra {

// Starts "Nivra.exe" beside this library with nivra -create "<file>" and lets it run on its
// own. S_OK whether or not it started (a failed start is not reported), and also when this
// library's folder is unknown, which starts nothing. Fails only with E_OUTOFMEMORY, having
// started nothing.
[[nodiscard]] HResult StartDocumentApplication(const char16_t* file, std::size_t length) noexcept;

}  // namespace nivra
