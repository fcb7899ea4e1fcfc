// Reads the tokens of an expanded registry script: bare runs of non-blanks, or quoted text in
// which a doubled quote stands for one. Token buffers are fixed arrays owned by the caller, so
// reading never allocates.
#pragma once

#include <cstddef>

#include "common/result_codes.h"

namespace nivra {

inline constexpr std::size_t kTokenUnits = 4096;
using TokenBuffer = char16_t[kTokenUnits];

class CScriptTokenizer {
  public:
    explicit CScriptTokenizer(const char16_t* text = u"") noexcept : cursor_(text) {}
    CScriptTokenizer(const CScriptTokenizer&) = delete;
    CScriptTokenizer& operator=(const CScriptTokenizer&) = delete;

    const char16_t* Cursor() const noexcept { return cursor_; }
    void SetCursor(const char16_t* position) noexcept { cursor_ = position; }
    bool AtEnd() const noexcept { return *cursor_ == u'\0'; }

    void SkipBlanks() noexcept;
    // Skips blanks and reads one token (at most 4094 characters) into `token`, leaving the
    // cursor after it. kDispException at the end of the text, on an unterminated quote and on
    // a token that is too long; the buffer is terminated in every case.
    [[nodiscard]] HResult ReadToken(TokenBuffer& token) noexcept;
    // When `token` begins with "=", reads the type and the value and then the next token into
    // `token`; otherwise does nothing. The type is not checked here.
    [[nodiscard]] HResult SkipValueClause(TokenBuffer& token) noexcept;

  private:
    const char16_t* cursor_;
    TokenBuffer value_;
};

}  // namespace nivra
