#include "registrar/script_text.h"

namespace nivra {

namespace {
constexpr bool IsHighSurrogate(char16_t unit) noexcept {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
constexpr bool IsLowSurrogate(char16_t unit) noexcept {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}
constexpr char16_t FoldAscii(char16_t unit) noexcept {
    return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit - u'A' + u'a') : unit;
}
}  // namespace

const char16_t* NextChar(const char16_t* text) noexcept {
    if (*text == u'\0')
        return text;
    if (IsHighSurrogate(text[0]) && IsLowSurrogate(text[1]))
        return text + 2;
    return text + 1;
}

bool EqualsIgnoringCase(const char16_t* left, const char16_t* right) noexcept {
    for (;; ++left, ++right) {
        if (FoldAscii(*left) != FoldAscii(*right))
            return false;
        if (*left == u'\0')
            return true;
    }
}

bool ContainsBackslash(const char16_t* text) noexcept {
    for (; *text != u'\0'; ++text) {
        if (*text == u'\\')
            return true;
    }
    return false;
}

}  // namespace nivra
