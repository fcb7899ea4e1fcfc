#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "common/unique_any_win32.h"
#include "menu_image/argb_bitmap_win32.h"
#include "menu_image/menu_icon_renderer_win32.h"
#include "menu_image/system_version_win32.h"
#include "menu_test_support.h"

namespace nivra::test {
namespace {

constexpr std::uint8_t Alpha(std::uint32_t pixel) {
    return static_cast<std::uint8_t>(pixel >> 24);
}

// At every display scale the bitmap is the image drawn for the small-icon size, over
// transparent black; a stretched 16-pixel image would not keep the opaque pixels' colours.
TEST(MenuImage, TheItemsBitmapIsTheImageMadeForTheSmallIconSize) {
    ASSERT_TRUE(IsVersion6OrLater());
    const int cx = ::GetSystemMetrics(SM_CXSMICON), cy = ::GetSystemMetrics(SM_CYSMICON);
    if (const int expected = ExpectedSmallIconSize()) {
        ASSERT_EQ(cx, expected) << "the prefix's display scale did not take effect";
    }
    ASSERT_EQ(cx, cy);
    SelectedHandler handler;
    PopupMenu menu;
    ASSERT_EQ(handler.QueryContextMenu(menu.get(), 0, 1, 1, CMF_NORMAL), 1);
    const HBITMAP bitmap = ReadItem(menu.get(), 0).bitmap;
    ASSERT_NE(bitmap, nullptr);

    DIBSECTION section = {};
    ASSERT_EQ(::GetObjectW(bitmap, sizeof(section), &section), int(sizeof(section)));
    EXPECT_EQ(section.dsBm.bmWidth, cx);
    EXPECT_EQ(section.dsBm.bmHeight, cy);
    EXPECT_EQ(section.dsBm.bmBitsPixel, 32);
    EXPECT_EQ(section.dsBmih.biHeight, cy);  // bottom-up
    EXPECT_EQ(section.dsBmih.biCompression, DWORD(BI_RGB));

    const std::vector<std::uint32_t> source = MenuIconImage(cx);
    ASSERT_EQ(source.size(), std::size_t(cx) * cy) << "group 101 has no " << cx << " px image";
    const std::vector<std::uint32_t> made = TopDownPixels(bitmap, cx, cy);
    ASSERT_EQ(made.size(), source.size());
    int opaque = 0, clear = 0, wrong = 0;
    std::size_t firstWrong = 0;
    for (std::size_t i = 0; i < made.size(); ++i) {
        const unsigned alpha = Alpha(source[i]);
        bool right = false;
        if (alpha == 0) {
            right = made[i] == 0;
            ++clear;
        } else if (alpha == 255) {
            right = made[i] == source[i];
            ++opaque;
        } else {
            // Premultiplied, give or take the blend's rounding.
            const unsigned madeAlpha = Alpha(made[i]);
            right = madeAlpha + 1 >= alpha && madeAlpha <= alpha + 1;
            for (int shift : {0, 8, 16}) {
                const int expected = int((source[i] >> shift & 0xFF) * alpha / 255);
                right = right && std::abs(int(made[i] >> shift & 0xFF) - expected) <= 2;
            }
        }
        if (!right && wrong++ == 0)
            firstWrong = i;
    }
    EXPECT_EQ(wrong, 0) << "first at " << firstWrong % cx << "," << firstWrong / cx << ": 0x"
                        << std::hex << made[firstWrong] << " for 0x" << source[firstWrong];
    EXPECT_GT(opaque, cx * cy / 3);
    EXPECT_GT(clear, cx * cy / 20);
}

// A 16 by 16 icon without alpha: colour 0x336699 where opaque; the mask is set (transparent)
// in the top four rows and the leftmost column.
bool MaskedOut(int x, int y) {
    return y < 4 || x == 0;
}
UniqueIcon MaskedIcon() {
    std::vector<std::uint32_t> colour(256);
    std::vector<std::uint16_t> mask(16);  // 1 bpp rows of 16 bits, top first, word aligned
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            colour[y * 16 + x] = MaskedOut(x, y) ? 0u : 0x00336699u;
            if (MaskedOut(x, y))
                mask[y] |= static_cast<std::uint16_t>(0x80u >> (x % 8)) << (x < 8 ? 0 : 8);
        }
    }
    const UniqueBitmap colourBitmap(::CreateBitmap(16, 16, 1, 32, colour.data()));
    const UniqueBitmap maskBitmap(::CreateBitmap(16, 16, 1, 1, mask.data()));
    ICONINFO info = {};
    info.fIcon = TRUE;
    info.hbmColor = colourBitmap.get();
    info.hbmMask = maskBitmap.get();
    return UniqueIcon(::CreateIconIndirect(&info));
}

TEST(MenuImage, AnIconWithoutAlphaGetsItsAlphaFromTheMask) {
    ASSERT_EQ(::GetSystemMetrics(SM_CXSMICON), 16);
    const CMenuIconRenderer renderer;
    ASSERT_TRUE(renderer.HasThemeLibrary());
    const UniqueIcon icon = MaskedIcon();
    ASSERT_TRUE(icon.is_valid());
    const UniqueBitmap bitmap = renderer.RenderIcon(icon.get());
    ASSERT_TRUE(bitmap.is_valid());
    const std::vector<std::uint32_t> pixels = TopDownPixels(bitmap.get(), 16, 16);
    ASSERT_EQ(pixels.size(), 256u);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            EXPECT_EQ(pixels[y * 16 + x], MaskedOut(x, y) ? 0u : 0xFF336699u) << x << "," << y;
}

TEST(MenuImage, EveryRenderingIsANewBitmap) {
    const CMenuIconRenderer renderer;
    const UniqueIcon icon(LoadMenuIconResource());
    const UniqueBitmap first = renderer.RenderIcon(icon.get());
    const UniqueBitmap second = renderer.RenderIcon(icon.get());
    ASSERT_TRUE(first.is_valid());
    ASSERT_TRUE(second.is_valid());
    EXPECT_NE(first.get(), second.get());
}

TEST(MenuImage, TheSectionIsMadeWithOrWithoutAContext) {
    UniqueBitmap bitmap;
    EXPECT_EQ(CreateArgbSection(nullptr, 20, 18, bitmap), S_OK);
    ASSERT_TRUE(bitmap.is_valid());
    DIBSECTION section = {};
    ASSERT_EQ(::GetObjectW(bitmap.get(), sizeof(section), &section), int(sizeof(section)));
    EXPECT_EQ(section.dsBmih.biWidth, 20);
    EXPECT_EQ(section.dsBmih.biHeight, 18);
    EXPECT_EQ(section.dsBmih.biBitCount, 32);
    const std::vector<std::uint32_t> pixels = TopDownPixels(bitmap.get(), 20, 18);
    EXPECT_TRUE(std::all_of(pixels.begin(), pixels.end(), [](std::uint32_t p) { return p == 0; }));

    const UniqueDc dc(::CreateCompatibleDC(nullptr));
    EXPECT_EQ(CreateArgbSection(dc.get(), 16, 16, bitmap), S_OK);
    EXPECT_TRUE(bitmap.is_valid());
    EXPECT_EQ(CreateArgbSection(dc.get(), 0, 16, bitmap), E_OUTOFMEMORY);
    EXPECT_FALSE(bitmap.is_valid());
}

TEST(MenuImage, AMaskThatDeliversTooFewLinesFailsAndChangesNothing) {
    const UniqueDc dc(::CreateCompatibleDC(nullptr));
    const UniqueBitmap shortMask(::CreateBitmap(16, 8, 1, 1, nullptr));
    std::vector<std::uint32_t> pixels(16 * 16, 0x00123456u);
    EXPECT_EQ(ApplyMaskAlpha(dc.get(), pixels.data(), shortMask.get(), 16, 16, 16), E_UNEXPECTED);
    EXPECT_TRUE(std::all_of(pixels.begin(), pixels.end(),
                            [](std::uint32_t p) { return p == 0x00123456u; }));
}

}  // namespace
}  // namespace nivra::test
