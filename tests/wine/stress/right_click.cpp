#include "stress/right_click.h"

namespace nivra::test {

HandlerRefs::HandlerRefs(const ShippedDll& dll) : init(dll.NewHandler()) {
    if (init != nullptr)
        init->QueryInterface(IID_IContextMenu3, reinterpret_cast<void**>(&menu));
}

HandlerRefs::~HandlerRefs() {
    if (menu != nullptr)
        menu->Release();
    if (init != nullptr)
        init->Release();
}

std::wstring HostMenu::TextAt(UINT position) const {
    wchar_t text[128] = {};
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STRING;
    info.dwTypeData = text;
    info.cch = 128;
    if (!::GetMenuItemInfoW(menu_, position, TRUE, &info))
        return L"";
    return text;
}

DrawTarget::DrawTarget()
    : dc_(::CreateCompatibleDC(nullptr)),
      bitmap_(::CreateCompatibleBitmap(dc_, 16, 16)),
      previous_(::SelectObject(dc_, bitmap_)) {}

DrawTarget::~DrawTarget() {
    ::SelectObject(dc_, previous_);
    ::DeleteObject(bitmap_);
    ::DeleteDC(dc_);
}

RightClickSeen RightClick(const ShippedDll& dll, IDataObject* selection, HDC drawInto) {
    RightClickSeen seen;
    HandlerRefs handler(dll);
    if (!handler.ok())
        return seen;
    seen.initialized = handler.init->Initialize(nullptr, selection, nullptr);
    HostMenu menu;
    seen.menuResult = handler.menu->QueryContextMenu(menu.get(), 0, 1, 0x7FFF, CMF_NORMAL);
    seen.menuText = menu.TextAt(0);

    DRAWITEMSTRUCT draw = {};
    draw.CtlType = ODT_MENU;
    draw.itemID = 1;
    draw.itemAction = ODA_DRAWENTIRE;
    draw.hDC = drawInto;
    draw.rcItem = {0, 0, 16, 16};
    handler.menu->HandleMenuMsg2(WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&draw), &seen.drawn);

    wchar_t help[128] = {};
    seen.helpResult = handler.menu->GetCommandString(0, GCS_HELPTEXTW, nullptr,
                                                     reinterpret_cast<char*>(help), 128);
    seen.helpText = help;
    return seen;
}

}  // namespace nivra::test
