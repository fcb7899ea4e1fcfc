// Turns the menu icon into a 32-bit bitmap with per-pixel alpha, through the theme library's
// buffered painting.
#pragma once

#include <windows.h>
#include <uxtheme.h>

#include "common/unique_any_win32.h"

namespace nivra {

class CMenuIconRenderer {
  public:
    // Loads the theme library, on 6.0 and later only, and resolves its three entry points.
    CMenuIconRenderer() noexcept;
    CMenuIconRenderer(const CMenuIconRenderer&) = delete;
    CMenuIconRenderer& operator=(const CMenuIconRenderer&) = delete;

    // A new small-icon-sized bitmap holding `icon` over transparent black, or null. The icon
    // stays the caller's. Null as well when the theme library or an entry point is missing.
    UniqueBitmap RenderIcon(HICON icon) const noexcept;

    bool HasThemeLibrary() const noexcept { return m_hThemeLibrary.is_valid(); }

  private:
    using GetBufferedPaintBitsFunction = HRESULT(WINAPI*)(HPAINTBUFFER, RGBQUAD**, int*);
    using BeginBufferedPaintFunction = HPAINTBUFFER(WINAPI*)(HDC, const RECT*, BP_BUFFERFORMAT,
                                                             BP_PAINTPARAMS*, HDC*);
    using EndBufferedPaintFunction = HRESULT(WINAPI*)(HPAINTBUFFER, BOOL);

    // Gives the drawn buffer alpha from the icon's mask when the drawing left none.
    HRESULT FixBufferAlpha(HPAINTBUFFER buffer, HDC dc, HICON icon, int cx, int cy) const noexcept;

    UniqueModule m_hThemeLibrary;
    GetBufferedPaintBitsFunction m_getBufferedPaintBits = nullptr;
    BeginBufferedPaintFunction m_beginBufferedPaint = nullptr;
    EndBufferedPaintFunction m_endBufferedPaint = nullptr;
};

}  // namespace nivra
