#include "registrar/value_encoding.h"

namespace nivra {

std::size_t EncodeMultiString(const char16_t* text, std::size_t length, char16_t* out) noexcept {
    std::size_t written = 0;
    for (std::size_t i = 0; i < length; ++i) {
        if (text[i] == u'\\' && i + 1 < length && text[i + 1] == u'0') {
            out[written++] = u'\0';
            ++i;
        } else {
            out[written++] = text[i];
        }
    }
    out[written] = u'\0';
    out[written + 1] = u'\0';
    std::size_t units = 0;
    const char16_t* string = out;
    for (;;) {
        std::size_t stringLength = 0;
        while (string[stringLength] != u'\0')
            ++stringLength;
        units += stringLength + 1;
        if (stringLength == 0)
            return units;
        string += stringLength + 1;
    }
}

bool ParseDword(const char16_t* text, std::uint32_t* value) noexcept {
    if (*text == u'\0')
        return false;
    std::uint64_t number = 0;
    for (; *text != u'\0'; ++text) {
        if (*text < u'0' || *text > u'9')
            return false;
        number = number * 10 + static_cast<std::uint64_t>(*text - u'0');
        if (number > 0xFFFFFFFFu)
            return false;
    }
    *value = static_cast<std::uint32_t>(number);
    return true;
}

std::uint8_t HexDigitValue(char16_t unit) noexcept {
    if (unit >= u'0' && unit <= u'9')
        return static_cast<std::uint8_t>(unit - u'0');
    if (unit >= u'A' && unit <= u'F')
        return static_cast<std::uint8_t>(unit - u'A' + 10);
    if (unit >= u'a' && unit <= u'f')
        return static_cast<std::uint8_t>(unit - u'a' + 10);
    return 0;
}

void DecodeBinary(const char16_t* text, std::size_t length, std::uint8_t* out) noexcept {
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint8_t digit = HexDigitValue(text[i]);
        out[i / 2] |= static_cast<std::uint8_t>(i % 2 == 0 ? digit << 4 : digit);
    }
}

}  // namespace nivra
