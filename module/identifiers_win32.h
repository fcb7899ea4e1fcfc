// The class, type-library and interface identifiers of the library's classes.
#pragma once

#include <windows.h>

#include "module/class_ids.h"

namespace nivra {

// {E451006E-80DB-4344-9EB2-83931605B560}
inline constexpr GUID LIBID_NivraShellExtLib = {
    0xE451006E, 0x80DB, 0x4344, {0x9E, 0xB2, 0x83, 0x93, 0x16, 0x05, 0xB5, 0x60}};
// {45E66F6F-653D-414E-8F6E-5B4F1C8FEE74}
inline constexpr IID IID_INivraShellExt = {
    0x45E66F6F, 0x653D, 0x414E, {0x8F, 0x6E, 0x5B, 0x4F, 0x1C, 0x8F, 0xEE, 0x74}};

namespace guid_text {

inline constexpr int kLength = 38;  // {xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}

constexpr int HexValue(char c) noexcept {
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'A' && c <= 'F' ? c - 'A' + 10
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                  : -1;
}

constexpr bool IsRegistryForm(const char (&text)[kLength + 1]) noexcept {
    for (int i = 0; i < kLength; ++i) {
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        const char expected = i == 0 ? '{' : i == kLength - 1 ? '}' : dash ? '-' : '\0';
        if (expected != '\0' ? text[i] != expected : HexValue(text[i]) < 0)
            return false;
    }
    return true;
}

constexpr unsigned long Field(const char* text, int first, int digits) noexcept {
    unsigned long value = 0;
    for (int i = 0; i < digits; ++i)
        value = value * 16 + static_cast<unsigned long>(HexValue(text[first + i]));
    return value;
}

constexpr BYTE Byte(const char* text, int first) noexcept {
    return static_cast<BYTE>(Field(text, first, 2));
}

// The identifier that `text` writes in registry form.
constexpr GUID FromRegistryForm(const char (&text)[kLength + 1]) noexcept {
    return {Field(text, 1, 8),
            static_cast<unsigned short>(Field(text, 10, 4)),
            static_cast<unsigned short>(Field(text, 15, 4)),
            {Byte(text, 20), Byte(text, 22), Byte(text, 25), Byte(text, 27), Byte(text, 29),
             Byte(text, 31), Byte(text, 33), Byte(text, 35)}};
}

}  // namespace guid_text

// Both classes' identifiers are written once, as text, for the code, the package manifest and
// the check program alike; these are their binary forms.
static_assert(guid_text::IsRegistryForm(kHandlerClassId));
inline constexpr CLSID CLSID_NivraShellExt = guid_text::FromRegistryForm(kHandlerClassId);
static_assert(CLSID_NivraShellExt.Data1 == 0x37653C37 && CLSID_NivraShellExt.Data4[7] == 0xD9);
static_assert(guid_text::IsRegistryForm(kExplorerCommandClassId));
inline constexpr CLSID CLSID_NivraExplorerCommand =
    guid_text::FromRegistryForm(kExplorerCommandClassId);
static_assert(CLSID_NivraExplorerCommand.Data1 == 0x18180415 &&
              CLSID_NivraExplorerCommand.Data4[7] == 0x90);

}  // namespace nivra
