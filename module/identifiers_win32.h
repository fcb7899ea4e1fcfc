// The class, type-library and interface identifiers of the handler.
#pragma once

#include <windows.h>

namespace nivra {

// {37653C37-DEDE-49F1-A788-4E46787130D9}
inline constexpr CLSID CLSID_NivraShellExt = {
    0x37653C37, 0xDEDE, 0x49F1, {0xA7, 0x88, 0x4E, 0x46, 0x78, 0x71, 0x30, 0xD9}};
// {E451006E-80DB-4344-9EB2-83931605B560}
inline constexpr GUID LIBID_NivraShellExtLib = {
    0xE451006E, 0x80DB, 0x4344, {0x9E, 0xB2, 0x83, 0x93, 0x16, 0x05, 0xB5, 0x60}};
// {45E66F6F-653D-414E-8F6E-5B4F1C8FEE74}
inline constexpr IID IID_INivraShellExt = {
    0x45E66F6F, 0x653D, 0x414E, {0x8F, 0x6E, 0x5B, 0x4F, 0x1C, 0x8F, 0xEE, 0x74}};

}  // namespace nivra
