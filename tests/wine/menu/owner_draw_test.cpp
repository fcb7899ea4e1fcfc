#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "menu_test_support.h"

namespace nivra::test {
namespace {

constexpr std::uint32_t kBackground = 0x00FF00FFu;

// A 40 by 40 top-down 32 bpp canvas in a memory context, filled with kBackground.
class Canvas {
  public:
    static constexpr int kSize = 40;
    Canvas() {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = kSize;
        info.bmiHeader.biHeight = -kSize;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        dc_ = ::CreateCompatibleDC(nullptr);
        bitmap_ = ::CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
        previous_ = ::SelectObject(dc_, bitmap_);
        std::fill(Pixels(), Pixels() + kSize * kSize, kBackground);
    }
    ~Canvas() {
        ::SelectObject(dc_, previous_);
        ::DeleteObject(bitmap_);
        ::DeleteDC(dc_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    HDC dc() const { return dc_; }
    std::uint32_t* Pixels() const { return static_cast<std::uint32_t*>(bits_); }
    // Whether any pixel changed inside, and none outside, the square at (x, y) of side 16.
    void ExpectDrawnOnlyAt(int left, int top) const {
        ::GdiFlush();
        int changedInside = 0;
        for (int y = 0; y < kSize; ++y) {
            for (int x = 0; x < kSize; ++x) {
                const bool changed = Pixels()[y * kSize + x] != kBackground;
                const bool inside = x >= left && x < left + 16 && y >= top && y < top + 16;
                if (inside)
                    changedInside += changed ? 1 : 0;
                else
                    ASSERT_FALSE(changed) << "pixel " << x << "," << y;
            }
        }
        EXPECT_GT(changedInside, 16 * 16 / 4);
    }
    bool Untouched() const {
        ::GdiFlush();
        return std::all_of(Pixels(), Pixels() + kSize * kSize,
                           [](std::uint32_t p) { return p == kBackground; });
    }

  private:
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    void* bits_ = nullptr;
};

DRAWITEMSTRUCT MenuDraw(HDC dc, RECT item, UINT type = ODT_MENU) {
    DRAWITEMSTRUCT draw = {};
    draw.CtlType = type;
    draw.itemID = 1;
    draw.itemAction = ODA_DRAWENTIRE;
    draw.hDC = dc;
    draw.rcItem = item;
    return draw;
}

TEST(OwnerDraw, MeasureAnswersSixteenBySixteenWithOrWithoutAResultLocation) {
    TestHandler handler;
    MEASUREITEMSTRUCT measure = {};
    measure.CtlType = ODT_BUTTON;  // not looked at
    measure.itemWidth = 99;
    measure.itemHeight = 99;
    LRESULT result = 7;
    EXPECT_EQ(
        handler.HandleMenuMsg2(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&measure), &result),
        S_OK);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(measure.itemWidth, 16u);
    EXPECT_EQ(measure.itemHeight, 16u);

    measure.itemWidth = measure.itemHeight = 0;
    EXPECT_EQ(handler.HandleMenuMsg(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&measure)), S_OK);
    EXPECT_EQ(measure.itemWidth, 16u);
    EXPECT_EQ(handler.HandleMenuMsg2(WM_MEASUREITEM, 0, 0, &result), S_OK);
    EXPECT_EQ(result, 0);
}

TEST(OwnerDraw, TheIconIsDrawnAtTheLeftAndCentredVertically) {
    TestHandler handler;
    {
        Canvas canvas;  // 21 high: two below the top
        DRAWITEMSTRUCT draw = MenuDraw(canvas.dc(), RECT{5, 10, 35, 31});
        LRESULT result = 0;
        EXPECT_EQ(handler.HandleMenuMsg2(WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&draw), &result),
                  S_OK);
        EXPECT_EQ(result, 1);
        canvas.ExpectDrawnOnlyAt(5, 12);
    }
    {
        Canvas canvas;  // 13 high: one above the top
        DRAWITEMSTRUCT draw = MenuDraw(canvas.dc(), RECT{3, 10, 35, 23});
        EXPECT_EQ(handler.HandleMenuMsg(WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&draw)), S_OK);
        canvas.ExpectDrawnOnlyAt(3, 9);
    }
}

// At every display scale: measured at the small-icon size, and drawn from the image made for
// that size (opaque pixels in its colours, clear ones leaving the background), not a
// stretched 16-pixel one.
TEST(OwnerDraw, TheImageMadeForTheSmallIconSizeIsMeasuredAndDrawnAtThatSize) {
    const int cx = ::GetSystemMetrics(SM_CXSMICON), cy = ::GetSystemMetrics(SM_CYSMICON);
    if (const int expected = ExpectedSmallIconSize()) {
        ASSERT_EQ(cx, expected) << "the prefix's display scale did not take effect";
    }
    ASSERT_EQ(cx, cy);
    ASSERT_LE(cy + 6, Canvas::kSize);
    TestHandler handler;
    MEASUREITEMSTRUCT measure = {};
    measure.CtlType = ODT_MENU;
    LRESULT result = 0;
    EXPECT_EQ(
        handler.HandleMenuMsg2(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&measure), &result),
        S_OK);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(measure.itemWidth, UINT(cx));
    EXPECT_EQ(measure.itemHeight, UINT(cy));

    const std::vector<std::uint32_t> source = MenuIconImage(cx);
    ASSERT_EQ(source.size(), std::size_t(cx) * cy) << "group 101 has no " << cx << " px image";
    Canvas canvas;
    const int left = 3, top = 4;  // where the icon goes: the item is 2 pixels higher each way
    DRAWITEMSTRUCT draw = MenuDraw(canvas.dc(), RECT{left, top - 2, Canvas::kSize, top + cy + 2});
    EXPECT_EQ(handler.HandleMenuMsg2(WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&draw), &result),
              S_OK);
    EXPECT_EQ(result, 1);
    ::GdiFlush();
    int wrong = 0, opaque = 0;
    std::string firstWrong;
    for (int y = 0; y < Canvas::kSize; ++y) {
        for (int x = 0; x < Canvas::kSize; ++x) {
            const std::uint32_t pixel = canvas.Pixels()[y * Canvas::kSize + x] & 0xFFFFFF;
            const bool inside = x >= left && x < left + cx && y >= top && y < top + cy;
            const std::uint32_t drawn = inside ? source[(y - top) * cx + x - left] : 0;
            bool right = true;
            if (!inside || drawn >> 24 == 0)
                right = pixel == kBackground;
            else if (drawn >> 24 == 255)
                right = pixel == (drawn & 0xFFFFFF);
            opaque += inside && drawn >> 24 == 255 ? 1 : 0;
            if (!right && wrong++ == 0)
                firstWrong = std::to_string(x) + "," + std::to_string(y);
        }
    }
    EXPECT_EQ(wrong, 0) << "first at " << firstWrong;
    EXPECT_GT(opaque, cx * cy / 3);
}

TEST(OwnerDraw, OtherControlsAndMessagesAreNotHandled) {
    TestHandler handler;
    Canvas canvas;
    DRAWITEMSTRUCT button = MenuDraw(canvas.dc(), RECT{0, 0, 20, 20}, ODT_BUTTON);
    LRESULT result = 5;
    EXPECT_EQ(handler.HandleMenuMsg2(WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&button), &result),
              S_OK);
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(canvas.Untouched());
    DRAWITEMSTRUCT menu = MenuDraw(canvas.dc(), RECT{0, 0, 20, 20});
    for (UINT message : {UINT(WM_INITMENUPOPUP), UINT(WM_MENUCHAR), UINT(WM_MENUSELECT), 0u}) {
        result = 5;
        EXPECT_EQ(handler.HandleMenuMsg2(message, 0, reinterpret_cast<LPARAM>(&menu), &result),
                  S_OK);
        EXPECT_EQ(result, 0) << message;
        EXPECT_EQ(handler.HandleMenuMsg2(message, 0, reinterpret_cast<LPARAM>(&menu), nullptr),
                  S_OK);
    }
    result = 5;
    EXPECT_EQ(handler.HandleMenuMsg2(WM_DRAWITEM, 0, 0, &result), S_OK);
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(canvas.Untouched());
}

// Index part of the next GDI handle and value of the next kernel handle: freed slots are
// taken again, so a leak shows as growth. (Wine answers 0 to the usual counters.)
std::uintptr_t NextGdiSlot() {
    const HBITMAP probe = ::CreateBitmap(1, 1, 1, 32, nullptr);
    const auto slot = reinterpret_cast<std::uintptr_t>(probe) & 0xFFFF;
    ::DeleteObject(probe);
    return slot;
}
std::uintptr_t NextKernelHandle() {
    const HANDLE probe = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    const auto value = reinterpret_cast<std::uintptr_t>(probe);
    ::CloseHandle(probe);
    return value;
}

TEST(MenuLeaks, ManyMenusAndDrawingsLeaveNoObjectsBehind) {
    auto cycle = [] {
        SelectedHandler handler;
        PopupMenu menu;
        handler.QueryContextMenu(menu.get(), 0, 1, 1, CMF_NORMAL);
        handler.QueryContextMenu(menu.get(), 0, 2, 2, CMF_NORMAL);
        Canvas canvas;
        DRAWITEMSTRUCT draw = MenuDraw(canvas.dc(), RECT{0, 0, 20, 20});
        handler.HandleMenuMsg(WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&draw));
        char text[64];
        handler.GetCommandString(0, GCS_HELPTEXTA, nullptr, text, 64);
    };
    for (int i = 0; i < 20; ++i)
        cycle();  // caches and first-use allocations settle
    const std::uintptr_t gdi = NextGdiSlot();
    const std::uintptr_t kernel = NextKernelHandle();
    const DWORD gdiCount = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
    const DWORD userCount = ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS);
    for (int i = 0; i < 300; ++i)
        cycle();
    EXPECT_LT(NextGdiSlot(), gdi + 30);
    EXPECT_LT(NextKernelHandle(), kernel + 30 * 4);
    EXPECT_LE(::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS), gdiCount + 10);
    EXPECT_LE(::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS), userCount + 10);
}

}  // namespace
}  // namespace nivra::test
