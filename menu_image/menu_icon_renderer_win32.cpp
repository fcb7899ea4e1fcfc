#include "menu_image/menu_icon_renderer_win32.h"

#include <cstdint>

#include "menu_image/argb_bitmap_win32.h"
#include "menu_image/pixel_alpha.h"
#include "menu_image/system_version_win32.h"

namespace nivra {

namespace {

// void(*)() converts to any function pointer type without a cast warning.
template <typename Function>
Function Resolve(HMODULE module, const char* name) noexcept {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

// Ends a buffered paint, copying the buffer onto its target.
class PaintBufferEnd {
  public:
    using EndFunction = HRESULT(WINAPI*)(HPAINTBUFFER, BOOL);
    PaintBufferEnd(EndFunction end, HPAINTBUFFER buffer) noexcept : end_(end), buffer_(buffer) {}
    ~PaintBufferEnd() { end_(buffer_, TRUE); }
    PaintBufferEnd(const PaintBufferEnd&) = delete;
    PaintBufferEnd& operator=(const PaintBufferEnd&) = delete;

  private:
    EndFunction end_;
    HPAINTBUFFER buffer_;
};

}  // namespace

CMenuIconRenderer::CMenuIconRenderer() noexcept {
    if (IsVersion6OrLater())
        m_hThemeLibrary.reset(::LoadLibraryW(L"UXTHEME.DLL"));
    if (m_hThemeLibrary.is_valid()) {
        m_getBufferedPaintBits =
            Resolve<GetBufferedPaintBitsFunction>(m_hThemeLibrary.get(), "GetBufferedPaintBits");
        m_beginBufferedPaint =
            Resolve<BeginBufferedPaintFunction>(m_hThemeLibrary.get(), "BeginBufferedPaint");
        m_endBufferedPaint =
            Resolve<EndBufferedPaintFunction>(m_hThemeLibrary.get(), "EndBufferedPaint");
    }
}

UniqueBitmap CMenuIconRenderer::RenderIcon(HICON icon) const noexcept {
    // Without every entry point there is no way to paint: the item goes without an image.
    if (m_getBufferedPaintBits == nullptr || m_beginBufferedPaint == nullptr ||
        m_endBufferedPaint == nullptr)
        return {};
    const int cx = ::GetSystemMetrics(SM_CXSMICON);
    const int cy = ::GetSystemMetrics(SM_CYSMICON);
    RECT rect;
    ::SetRect(&rect, 0, 0, cx, cy);

    UniqueDc dc(::CreateCompatibleDC(nullptr));
    if (!dc.is_valid())
        return {};
    UniqueBitmap bitmap;
    if (FAILED(CreateArgbSection(dc.get(), cx, cy, bitmap)))
        return {};

    HRESULT status = E_FAIL;
    {
        const UniqueSelection selection(dc.get(), bitmap.get());
        if (selection.is_valid()) {
            BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
            BP_PAINTPARAMS params = {};
            params.cbSize = sizeof(params);
            params.dwFlags = BPPF_ERASE;
            params.pBlendFunction = &blend;
            HDC bufferDc = nullptr;
            const HPAINTBUFFER buffer =
                m_beginBufferedPaint(dc.get(), &rect, BPBF_DIB, &params, &bufferDc);
            if (buffer != nullptr) {
                const PaintBufferEnd end(m_endBufferedPaint, buffer);
                if (::DrawIconEx(bufferDc, 0, 0, icon, cx, cy, 0, nullptr, DI_NORMAL))
                    status = FixBufferAlpha(buffer, dc.get(), icon, cx, cy);
            }
        }
    }
    dc.reset();
    if (FAILED(status))
        return {};
    return bitmap;
}

HRESULT CMenuIconRenderer::FixBufferAlpha(HPAINTBUFFER buffer, HDC dc, HICON icon, int cx,
                                          int cy) const noexcept {
    RGBQUAD* bits = nullptr;
    int rowWidth = 0;
    HRESULT status = m_getBufferedPaintBits(buffer, &bits, &rowWidth);
    if (FAILED(status))
        return status;
    auto* pixels = reinterpret_cast<std::uint32_t*>(bits);
    if (BufferHasAlpha(pixels, cx, cy, rowWidth))
        return status;

    ICONINFO info = {};
    if (!::GetIconInfo(icon, &info))
        return status;
    // Declared mask first, so the colour bitmap is deleted first.
    const UniqueBitmap mask(info.hbmMask);
    const UniqueBitmap colour(info.hbmColor);
    if (mask.is_valid())
        status = ApplyMaskAlpha(dc, pixels, mask.get(), cx, cy, rowWidth);
    return status;
}

}  // namespace nivra
