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

}  // namespace nivra::test
