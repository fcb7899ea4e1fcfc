// Alpha decisions over 32-bit pixels (blue in bits 0-7 up to alpha in bits 24-31), in rows of
// cx pixels that begin every rowWidth pixels.
#pragma once

#include <cstdint>

namespace nivra {

// True at the first of the cx by cy pixels whose alpha byte is nonzero. The rowWidth - cx
// pixels at the end of each row are not looked at.
bool BufferHasAlpha(const std::uint32_t* pixels, int cx, int cy, int rowWidth) noexcept;

// Alpha from an icon mask of cy packed rows of cx samples: a nonzero sample makes the pixel
// fully transparent black, a zero one keeps its colour and makes it opaque. Pixels past cx in
// each row stay as they are.
void ApplyMaskRule(std::uint32_t* pixels, int rowWidth, const std::uint32_t* mask, int cx,
                   int cy) noexcept;

// Whether a buffer of cx by cy pixels with rows rowWidth apart can be walked at all.
constexpr bool IsWalkableBuffer(int cx, int cy, int rowWidth) noexcept {
    return cx > 0 && cy > 0 && rowWidth >= cx;
}

// The version cache's value for a major and minor version, and the bitmap threshold 6.0.
constexpr std::uint32_t VersionValue(std::uint32_t major, std::uint32_t minor) noexcept {
    return (major & 0xFFu) * 256u + (minor & 0xFFu);
}
constexpr bool IsVersionValue6OrLater(std::uint32_t value) noexcept {
    return value >= 0x600u;
}

}  // namespace nivra
