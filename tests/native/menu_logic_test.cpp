#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <vector>

#include "handler/menu_item.h"
#include "menu_image/pixel_alpha.h"

namespace nivra {
namespace {

// A cx by cy buffer whose rows are `rowWidth` apart; the padding holds a marker value that no
// rule may read or change.
constexpr std::uint32_t kPadding = 0xA5A5A5A5u;
std::vector<std::uint32_t> Buffer(int cx, int cy, int rowWidth, std::uint32_t fill) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(rowWidth) * cy, kPadding);
    for (int y = 0; y < cy; ++y)
        for (int x = 0; x < cx; ++x)
            pixels[static_cast<std::size_t>(y) * rowWidth + x] = fill;
    return pixels;
}

TEST(PixelAlpha, TheScanFindsAnyAlphaByteInsideTheRowsOnly) {
    auto pixels = Buffer(3, 2, 5, 0x00FFFFFFu);
    // The padding's alpha bytes are nonzero, yet they lie outside the rows' cx pixels.
    EXPECT_FALSE(BufferHasAlpha(pixels.data(), 3, 2, 5));
    pixels[5 + 2] = 0x01000000u;  // last pixel of the last row
    EXPECT_TRUE(BufferHasAlpha(pixels.data(), 3, 2, 5));
    pixels[5 + 2] = 0x00FFFFFFu;
    pixels[0] = 0x80000000u;
    EXPECT_TRUE(BufferHasAlpha(pixels.data(), 3, 2, 5));
}

TEST(PixelAlpha, NoBufferOrAnImpossibleShapeHasNoAlpha) {
    auto pixels = Buffer(2, 2, 2, 0xFF000000u);
    EXPECT_FALSE(BufferHasAlpha(nullptr, 2, 2, 2));
    EXPECT_FALSE(BufferHasAlpha(pixels.data(), 0, 2, 2));
    EXPECT_FALSE(BufferHasAlpha(pixels.data(), 2, -1, 2));
    EXPECT_FALSE(BufferHasAlpha(pixels.data(), 2, 2, 1));  // rows narrower than cx
}

TEST(PixelAlpha, TheMaskClearsItsSetSamplesAndMakesTheRestOpaque) {
    const int cx = 3, cy = 2, rowWidth = 4;
    auto pixels = Buffer(cx, cy, rowWidth, 0x00123456u);
    pixels[1] = 0x00ABCDEFu;
    const std::uint32_t mask[] = {
        0,           0xFFFFFFFFu, 0x00000001u,  // any nonzero sample counts
        0x00FFFFFFu, 0,           0};
    ApplyMaskRule(pixels.data(), rowWidth, mask, cx, cy);
    const std::vector<std::uint32_t> expected = {
        0xFF123456u, 0u,          0u,          kPadding,  //
        0u,          0xFF123456u, 0xFF123456u, kPadding};
    EXPECT_EQ(pixels, expected);
}

TEST(PixelAlpha, TheMaskRuleLeavesAnImpossibleShapeAlone) {
    auto pixels = Buffer(2, 1, 2, 0x00111111u);
    const std::uint32_t mask[] = {0, 0};
    ApplyMaskRule(pixels.data(), 1, mask, 2, 1);
    ApplyMaskRule(pixels.data(), 2, nullptr, 2, 1);
    EXPECT_EQ(pixels, Buffer(2, 1, 2, 0x00111111u));
}

TEST(SystemVersion, OnlySixAndLaterSelectTheBitmap) {
    EXPECT_EQ(VersionValue(5, 1), 1281u);
    EXPECT_EQ(VersionValue(6, 0), 1536u);
    EXPECT_EQ(VersionValue(0x106, 0x201), VersionValue(6, 1));  // only the low bytes count
    EXPECT_FALSE(IsVersionValue6OrLater(0));                    // not yet known
    EXPECT_FALSE(IsVersionValue6OrLater(VersionValue(5, 1)));
    EXPECT_FALSE(IsVersionValue6OrLater(VersionValue(5, 2)));
    EXPECT_TRUE(IsVersionValue6OrLater(VersionValue(6, 0)));
    EXPECT_TRUE(IsVersionValue6OrLater(VersionValue(6, 1)));
    EXPECT_TRUE(IsVersionValue6OrLater(VersionValue(10, 0)));
}

TEST(MenuItem, TheIconIsCentredWithTruncatingDivision) {
    EXPECT_EQ(CentredIconTop(100, 121, 16), 102);  // 21 high: (21 - 16) / 2 = 2
    EXPECT_EQ(CentredIconTop(100, 113, 16), 99);   // 13 high: -3 / 2 = -1
    EXPECT_EQ(CentredIconTop(-10, 6, 16), -10);
    EXPECT_EQ(CentredIconTop(0, 15, 16), 0);              // -1 / 2 = 0, not -1
    EXPECT_EQ(CentredIconTop(INT_MIN, INT_MAX, 16), -9);  // no overflow on the way
    EXPECT_EQ(CentredIconTop(INT_MAX, INT_MIN, 16), -8);
}

TEST(MenuItem, OnlyTheDefaultOnlyBitRefusesTheMenu) {
    EXPECT_TRUE(WantsDefaultOnly(0x1));
    EXPECT_TRUE(WantsDefaultOnly(0x5));
    for (unsigned flags : {0x0u, 0x2u, 0x4u, 0x8u, 0x100u, 0xFFFFFFFEu})
        EXPECT_FALSE(WantsDefaultOnly(flags)) << flags;
}

TEST(MenuItem, CommandStringKinds) {
    using A = CommandStringAction;
    struct Row {
        unsigned kind;
        A action;
        bool unicode;
    };
    const Row rows[] = {{0, A::kVerb, false},      {1, A::kHelpText, false},
                        {2, A::kValidate, false},  {3, A::kInvalid, false},
                        {4, A::kVerb, true},       {5, A::kHelpText, true},
                        {6, A::kValidate, true},   {7, A::kInvalid, true},
                        {0x14, A::kInvalid, true}, {0xFFFFFFFFu, A::kInvalid, true}};
    for (const Row& row : rows) {
        const CommandStringAnswer answer = DecideCommandString(0, row.kind);
        EXPECT_EQ(answer.action, row.action) << row.kind;
        if (answer.action != A::kInvalid) {
            EXPECT_EQ(answer.unicode, row.unicode) << row.kind;
        }
        // Only offset 0 is a command.
        EXPECT_EQ(DecideCommandString(1, row.kind).action, A::kInvalid) << row.kind;
        EXPECT_EQ(DecideCommandString(UINTPTR_MAX, row.kind).action, A::kInvalid) << row.kind;
    }
}

}  // namespace
}  // namespace nivra
