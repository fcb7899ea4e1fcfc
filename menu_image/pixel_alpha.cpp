#include "menu_image/pixel_alpha.h"

#include <cstddef>

namespace nivra {

bool BufferHasAlpha(const std::uint32_t* pixels, int cx, int cy, int rowWidth) noexcept {
    if (pixels == nullptr || !IsWalkableBuffer(cx, cy, rowWidth))
        return false;
    for (int y = 0; y < cy; ++y) {
        const std::uint32_t* row = pixels + static_cast<std::size_t>(y) * rowWidth;
        for (int x = 0; x < cx; ++x) {
            if ((row[x] & 0xFF000000u) != 0)
                return true;
        }
    }
    return false;
}

void ApplyMaskRule(std::uint32_t* pixels, int rowWidth, const std::uint32_t* mask, int cx,
                   int cy) noexcept {
    if (pixels == nullptr || mask == nullptr || !IsWalkableBuffer(cx, cy, rowWidth))
        return;
    for (int y = 0; y < cy; ++y) {
        std::uint32_t* row = pixels + static_cast<std::size_t>(y) * rowWidth;
        const std::uint32_t* samples = mask + static_cast<std::size_t>(y) * cx;
        for (int x = 0; x < cx; ++x)
            row[x] = samples[x] != 0 ? 0u : (row[x] | 0xFF000000u);
    }
}

}  // namespace nivra
