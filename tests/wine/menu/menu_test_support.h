// Shared pieces of the menu tests: a handler with a selection, a popup menu, reading an item
// back, and pixels of bitmaps.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/hdrop_data_object.h"
#include "support/test_handler.h"

namespace nivra::test {

constexpr wchar_t kMenuText[] = L"Add to &ADOC...";
constexpr wchar_t kHelpText[] = L"Creates a new ADOC document based on the selected file.";

// A handler whose selection is `path` (none when empty).
class SelectedHandler : public TestHandler {
  public:
    explicit SelectedHandler(const std::wstring& path = L"C:\\docs\\report.pdf") {
        if (!path.empty()) {
            HdropDataObject selection({path});
            initialized = Initialize(nullptr, &selection, nullptr) == S_OK;
        }
    }
    bool initialized = false;
};

class PopupMenu {
  public:
    PopupMenu() : menu_(::CreatePopupMenu()) {}
    ~PopupMenu() { ::DestroyMenu(menu_); }
    PopupMenu(const PopupMenu&) = delete;
    PopupMenu& operator=(const PopupMenu&) = delete;
    HMENU get() const { return menu_; }
    int Count() const { return ::GetMenuItemCount(menu_); }
    void AddPlain(UINT id, const wchar_t* text) { ::AppendMenuW(menu_, MF_STRING, id, text); }

  private:
    HMENU menu_;
};

struct MenuItem {
    bool read = false;
    UINT id = 0;
    UINT type = 0;
    std::wstring text;
    HBITMAP bitmap = nullptr;
};

inline MenuItem ReadItem(HMENU menu, UINT position) {
    MenuItem item;
    wchar_t text[128] = {};
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_ID | MIIM_STRING | MIIM_BITMAP | MIIM_FTYPE;
    info.dwTypeData = text;
    info.cch = 128;
    item.read = ::GetMenuItemInfoW(menu, position, TRUE, &info) != FALSE;
    item.id = info.wID;
    item.type = info.fType;
    item.text = text;
    item.bitmap = info.hbmpItem;
    return item;
}

// The pixels of a bitmap as 32-bit values, top row first.
inline std::vector<std::uint32_t> TopDownPixels(HBITMAP bitmap, int cx, int cy) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(cx) * cy, 0xDEADBEEFu);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = cx;
    info.bmiHeader.biHeight = -cy;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screen = ::GetDC(nullptr);
    const int lines = ::GetDIBits(screen, bitmap, 0, cy, pixels.data(), &info, DIB_RGB_COLORS);
    ::ReleaseDC(nullptr, screen);
    if (lines != cy)
        pixels.clear();
    return pixels;
}

inline HICON LoadMenuIconResource() {
    return static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(101),
                                           IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
}

// The straight-alpha pixels (0xAARRGGBB, top row first) of the 32 bpp image of `size` in this
// program's icon group 101, read from the resource itself; empty if the group has none.
inline std::vector<std::uint32_t> MenuIconImage(int size) {
    const HMODULE self = ::GetModuleHandleW(nullptr);
    const HRSRC group = ::FindResourceW(self, MAKEINTRESOURCEW(101), RT_GROUP_ICON);
    if (group == nullptr)
        return {};
    const auto* bytes = static_cast<const BYTE*>(::LockResource(::LoadResource(self, group)));
    const WORD count = *reinterpret_cast<const WORD*>(bytes + 4);
    for (WORD i = 0; i < count; ++i) {
        const BYTE* entry = bytes + 6 + 14 * i;  // width, height, colours, reserved, planes,
                                                 // bit count, byte count, id
        const WORD bitCount = *reinterpret_cast<const WORD*>(entry + 6);
        if (entry[0] != size || bitCount != 32)
            continue;
        const WORD id = *reinterpret_cast<const WORD*>(entry + 12);
        const HRSRC image = ::FindResourceW(self, MAKEINTRESOURCEW(id), RT_ICON);
        if (image == nullptr)
            return {};
        const auto* header =
            static_cast<const BITMAPINFOHEADER*>(::LockResource(::LoadResource(self, image)));
        if (header->biWidth != size || header->biHeight != 2 * size || header->biBitCount != 32)
            return {};
        const auto* rows = reinterpret_cast<const std::uint32_t*>(
            reinterpret_cast<const BYTE*>(header) + header->biSize);
        std::vector<std::uint32_t> pixels;
        for (int y = size - 1; y >= 0; --y)  // stored bottom-up
            pixels.insert(pixels.end(), rows + y * size, rows + (y + 1) * size);
        return pixels;
    }
    return {};
}

// The small-icon size the test run expects (NIVRA_SMALL_ICON, set by the display-scale runs),
// or 0 where any size will do.
inline int ExpectedSmallIconSize() {
    wchar_t value[16] = {};
    if (::GetEnvironmentVariableW(L"NIVRA_SMALL_ICON", value, 16) == 0)
        return 0;
    return _wtoi(value);
}

}  // namespace nivra::test
