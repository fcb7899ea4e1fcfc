// The command as Windows 11's first-level menu asks for it: an explorer command over the same
// decisions, texts and launch as the context-menu handler.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include "module/com_object_root_win32.h"
#include "module/identifiers_win32.h"

namespace nivra {

// Apartment-threaded, so the count is plain. Interface lookup and the module lock come from
// the object wrapper (CComObject<CNivraExplorerCommand>). Every out-pointer is checked first
// (E_POINTER) and set before any other work; strings are handed out from CoTaskMemAlloc.
class CNivraExplorerCommand
    : public CComObjectRootEx<CComSingleThreadModel>,
      public CComCoClass<CNivraExplorerCommand, &CLSID_NivraExplorerCommand>,
      public IExplorerCommand {
  public:
    CNivraExplorerCommand() noexcept = default;
    virtual ~CNivraExplorerCommand() = default;
    CNivraExplorerCommand(const CNivraExplorerCommand&) = delete;
    CNivraExplorerCommand& operator=(const CNivraExplorerCommand&) = delete;

    // The menu text as a menu shows it, without the mnemonic marker.
    STDMETHODIMP GetTitle(IShellItemArray* items, LPWSTR* name) noexcept override;
    // "<this library's full path>,-101": the menu icon.
    STDMETHODIMP GetIcon(IShellItemArray* items, LPWSTR* icon) noexcept override;
    // The help text.
    STDMETHODIMP GetToolTip(IShellItemArray* items, LPWSTR* tip) noexcept override;
    STDMETHODIMP GetCanonicalName(GUID* name) noexcept override;
    // ECS_ENABLED for one supported file that is not a folder, ECS_HIDDEN for anything else;
    // cheap either way, so `okToBeSlow` changes nothing.
    STDMETHODIMP GetState(IShellItemArray* items, BOOL okToBeSlow,
                          EXPCMDSTATE* state) noexcept override;
    // Starts the application for that file as the handler's InvokeCommand does; E_FAIL, starting
    // nothing, for a selection that GetState hides. A failed start is shown in a message box
    // without owner and answered with HRESULT_FROM_WIN32(ERROR_CANCELLED).
    STDMETHODIMP Invoke(IShellItemArray* items, IBindCtx* context) noexcept override;
    STDMETHODIMP GetFlags(EXPCMDFLAGS* flags) noexcept override;
    // No subcommands: E_NOTIMPL.
    STDMETHODIMP EnumSubCommands(IEnumExplorerCommand** commands) noexcept override;
};

}  // namespace nivra
