// Character-level helpers of the registry script language: blanks, the next-character step,
// and the case-blind comparison used for keywords, table names and variable names.
#pragma once

#include <cstddef>

namespace nivra {

// Exactly these four are blanks; vertical tab and form feed are ordinary characters.
inline constexpr bool IsScriptBlank(char16_t unit) noexcept {
    return unit == u'\t' || unit == u'\n' || unit == u'\r' || unit == u' ';
}

// The position of the character after the one at `text`: a surrogate pair is one step, the
// terminating NUL is never stepped over.
const char16_t* NextChar(const char16_t* text) noexcept;

// Whole-string comparison that folds ASCII letters.
bool EqualsIgnoringCase(const char16_t* left, const char16_t* right) noexcept;

bool ContainsBackslash(const char16_t* text) noexcept;

}  // namespace nivra
