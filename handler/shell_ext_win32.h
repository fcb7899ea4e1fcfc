// The context-menu handler: the selection, the command and its launch.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include "common/wide_string.h"

namespace nivra {

// The handler's dual automation interface; it has no operations of its own.
struct INivraShellExt : public IDispatch {};

// Reference counting and interface lookup come from the object wrapper around this class.
class CNivraShellExt : public INivraShellExt, public IShellExtInit, public IContextMenu3 {
  public:
    CNivraShellExt() noexcept = default;
    virtual ~CNivraShellExt() = default;
    CNivraShellExt(const CNivraShellExt&) = delete;
    CNivraShellExt& operator=(const CNivraShellExt&) = delete;

    // IDispatch: never reachable, since no QueryInterface hands this pointer out.
    STDMETHODIMP GetTypeInfoCount(UINT* count) noexcept override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) noexcept override;
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                               DISPID* ids) noexcept override;
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* exception, UINT* argError) noexcept override;

    // IShellExtInit
    STDMETHODIMP Initialize(PCIDLIST_ABSOLUTE folder, IDataObject* dataObject,
                            HKEY progIdKey) noexcept override;

    // IContextMenu
    STDMETHODIMP QueryContextMenu(HMENU menu, UINT position, UINT firstCommand, UINT lastCommand,
                                  UINT flags) noexcept override;
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
};

}  // namespace nivra
