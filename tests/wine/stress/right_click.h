// One right-click through the shipped DLL, as Explorer makes it: a handler from the factory,
// the selection, the menu built into a real popup menu, the icon drawn, the help text read.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <string>

#include "module/shipped_dll.h"

namespace nivra::test {

// A handler object seen through both of its interfaces; released when this goes.
class HandlerRefs {
  public:
    explicit HandlerRefs(const ShippedDll& dll);
    ~HandlerRefs();
    HandlerRefs(const HandlerRefs&) = delete;
    HandlerRefs& operator=(const HandlerRefs&) = delete;
    bool ok() const { return init != nullptr && menu != nullptr; }
    IShellExtInit* init = nullptr;
    IContextMenu3* menu = nullptr;
};

// A popup menu that the host owns for one right-click.
class HostMenu {
  public:
    HostMenu() : menu_(::CreatePopupMenu()) {}
    ~HostMenu() { ::DestroyMenu(menu_); }
    HostMenu(const HostMenu&) = delete;
    HostMenu& operator=(const HostMenu&) = delete;
    HMENU get() const { return menu_; }
    // The text of the item at `position`, empty when there is none.
    std::wstring TextAt(UINT position) const;

  private:
    HMENU menu_;
};

// A 16 by 16 memory context with a bitmap of its own, for WM_DRAWITEM.
class DrawTarget {
  public:
    DrawTarget();
    ~DrawTarget();
    DrawTarget(const DrawTarget&) = delete;
    DrawTarget& operator=(const DrawTarget&) = delete;
    HDC dc() const { return dc_; }

  private:
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ previous_;
};

struct RightClickSeen {
    HRESULT initialized = E_FAIL;
    HRESULT menuResult = E_FAIL;
    std::wstring menuText;
    LRESULT drawn = 0;
    HRESULT helpResult = E_FAIL;
    std::wstring helpText;
};

// Create, initialise with `selection`, build the menu, draw the item, ask for the help text,
// release.
RightClickSeen RightClick(const ShippedDll& dll, IDataObject* selection, HDC drawInto);

}  // namespace nivra::test
