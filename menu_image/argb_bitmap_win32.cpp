#include "menu_image/argb_bitmap_win32.h"

#include <cstddef>

#include "common/heap.h"
#include "menu_image/pixel_alpha.h"

namespace nivra {

namespace {

// Header and one colour entry, zero except what a 32 bpp bottom-up picture needs.
BITMAPINFO ArgbInfo(int cx, int cy) noexcept {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = cx;
    info.bmiHeader.biHeight = cy;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

class ScratchBlock {
  public:
    explicit ScratchBlock(std::size_t bytes) noexcept : data_(MemAllocate(bytes)) {}
    ~ScratchBlock() { MemFree(data_); }
    ScratchBlock(const ScratchBlock&) = delete;
    ScratchBlock& operator=(const ScratchBlock&) = delete;
    void* get() const noexcept { return data_; }

  private:
    void* data_;
};

}  // namespace

HRESULT CreateArgbSection(HDC dc, int cx, int cy, UniqueBitmap& bitmap) noexcept {
    bitmap.reset();
    const BITMAPINFO info = ArgbInfo(cx, cy);
    UniqueScreenDc screen;
    if (dc == nullptr) {
        screen.reset(::GetDC(nullptr));
        dc = screen.get();
    }
    if (dc != nullptr)
        bitmap.reset(::CreateDIBSection(dc, &info, DIB_RGB_COLORS, nullptr, nullptr, 0));
    return bitmap.is_valid() ? S_OK : E_OUTOFMEMORY;
}

HRESULT ApplyMaskAlpha(HDC dc, std::uint32_t* pixels, HBITMAP mask, int cx, int cy,
                       int rowWidth) noexcept {
    if (!IsWalkableBuffer(cx, cy, rowWidth))
        return E_UNEXPECTED;
    BITMAPINFO info = ArgbInfo(cx, cy);
    ScratchBlock samples(static_cast<std::size_t>(cx) * static_cast<std::size_t>(cy) * 4);
    if (samples.get() == nullptr)
        return E_OUTOFMEMORY;
    if (::GetDIBits(dc, mask, 0, static_cast<UINT>(cy), samples.get(), &info, DIB_RGB_COLORS) != cy)
        return E_UNEXPECTED;
    ApplyMaskRule(pixels, rowWidth, static_cast<const std::uint32_t*>(samples.get()), cx, cy);
    return S_OK;
}

}  // namespace nivra
