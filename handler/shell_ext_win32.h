// The context-menu handler: the selection, the command and its launch.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include "common/unique_any_win32.h"
#include "common/wide_string.h"
#include "menu_image/menu_icon_renderer_win32.h"
#include "module/com_object_root_win32.h"
#include "module/identifiers_win32.h"

namespace nivra {

// The handler's dual automation interface; it has no operations of its own.
struct INivraShellExt : public IDispatch {};

// The reference count comes from the root; interface lookup and the module lock from the
// object wrapper around this class (CComObject<CNivraShellExt>).
class CNivraShellExt : public CComObjectRootEx<CComSingleThreadModel>,
                       public CComCoClass<CNivraShellExt, &CLSID_NivraShellExt>,
                       public IDispatchImpl<INivraShellExt>,
                       public IShellExtInit,
                       public IContextMenu3 {
  public:
    CNivraShellExt() noexcept = default;
    virtual ~CNivraShellExt() = default;
    CNivraShellExt(const CNivraShellExt&) = delete;
    CNivraShellExt& operator=(const CNivraShellExt&) = delete;

    // IShellExtInit
    STDMETHODIMP Initialize(PCIDLIST_ABSOLUTE folder, IDataObject* dataObject,
                            HKEY progIdKey) noexcept override;

    // IContextMenu
    STDMETHODIMP QueryContextMenu(HMENU menu, UINT position, UINT firstCommand, UINT lastCommand,
                                  UINT flags) noexcept override;
    // E_FAIL for another verb or offset. A failed start is HRESULT_FROM_WIN32 of its error
    // with CMIC_MASK_FLAG_NO_UI; otherwise it is shown in a box owned by the record's window
    // and answered with HRESULT_FROM_WIN32(ERROR_CANCELLED).
    STDMETHODIMP InvokeCommand(CMINVOKECOMMANDINFO* info) noexcept override;
    STDMETHODIMP GetCommandString(UINT_PTR command, UINT kind, UINT* reserved, CHAR* buffer,
                                  UINT size) noexcept override;
    // IContextMenu2
    STDMETHODIMP HandleMenuMsg(UINT message, WPARAM wParam, LPARAM lParam) noexcept override;
    // IContextMenu3
    STDMETHODIMP HandleMenuMsg2(UINT message, WPARAM wParam, LPARAM lParam,
                                LRESULT* result) noexcept override;

    // The stored selection, for the menu and the launch.
    const WideString& SelectedFile() const noexcept { return m_selectedFile; }

  private:
    WideString m_selectedFile;
    // Declared before the bitmap, so the bitmap is deleted before the theme library goes.
    CMenuIconRenderer m_menuIconRenderer;
    UniqueBitmap m_hMenuBitmap;  // made at most once, on 6.0 and later; the menu only borrows it
};

}  // namespace nivra
