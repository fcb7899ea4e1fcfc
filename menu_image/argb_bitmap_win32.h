// The 32-bit bitmap that the menu shows, and alpha taken from an icon's mask.
#pragma once

#include <windows.h>

#include <cstdint>

#include "common/unique_any_win32.h"

namespace nivra {

// A bottom-up 32 bpp DIB section of cx by cy, all pixels zero, made with `dc` or, when it is
// null, with the screen's context. E_OUTOFMEMORY when no bitmap could be made.
HRESULT CreateArgbSection(HDC dc, int cx, int cy, UniqueBitmap& bitmap) noexcept;

// Reads `mask` as cy rows of cx samples and applies them to the cx by cy pixels (rows
// rowWidth apart): set samples become transparent black, the rest opaque. E_OUTOFMEMORY for
// the scratch block, E_UNEXPECTED when the mask does not deliver cy rows.
HRESULT ApplyMaskAlpha(HDC dc, std::uint32_t* pixels, HBITMAP mask, int cx, int cy,
                       int rowWidth) noexcept;

}  // namespace nivra
