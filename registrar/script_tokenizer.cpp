#include "registrar/script_tokenizer.h"

#include "registrar/script_text.h"

namespace nivra {

namespace {

// Copies the character at `at` unless it would leave no room for the terminator and one spare
// unit; the limit is therefore 4094 characters in a buffer of 4096.
bool CopyChar(TokenBuffer& token, std::size_t& used, const char16_t* at,
              const char16_t* next) noexcept {
    const std::size_t units = static_cast<std::size_t>(next - at);
    if (used + units + 1 >= kTokenUnits)
        return false;
    for (std::size_t i = 0; i < units; ++i)
        token[used++] = at[i];
    return true;
}

}  // namespace

void CScriptTokenizer::SkipBlanks() noexcept {
    while (IsScriptBlank(*cursor_))
        cursor_ = NextChar(cursor_);
}

HResult CScriptTokenizer::ReadToken(TokenBuffer& token) noexcept {
    std::size_t used = 0;
    token[0] = u'\0';
    SkipBlanks();
    if (*cursor_ == u'\0')
        return kDispException;
    const char16_t* at = cursor_;
    HResult result = kOk;
    if (*at == u'\'') {
        at = NextChar(at);
        for (;;) {
            if (*at == u'\0') {
                result = kDispException;
                break;
            }
            if (*at == u'\'') {
                if (at[1] != u'\'') {
                    at = NextChar(at);
                    break;
                }
                at = NextChar(at);
            }
            const char16_t* next = NextChar(at);
            if (!CopyChar(token, used, at, next)) {
                result = kDispException;
                break;
            }
            at = next;
        }
    } else {
        while (*at != u'\0' && !IsScriptBlank(*at)) {
            const char16_t* next = NextChar(at);
            if (!CopyChar(token, used, at, next)) {
                result = kDispException;
                break;
            }
            at = next;
        }
    }
    token[used] = u'\0';
    cursor_ = at;
    return result;
}

HResult CScriptTokenizer::SkipValueClause(TokenBuffer& token) noexcept {
    if (token[0] != u'=')
        return kOk;
    NV_RETURN_IF_FAILED(ReadToken(token));
    SkipBlanks();
    NV_RETURN_IF_FAILED(ReadToken(value_));
    return ReadToken(token);
}

}  // namespace nivra
