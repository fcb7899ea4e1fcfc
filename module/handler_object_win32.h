// The handler object: the handler class wrapped with reference counting, interface lookup
// and one module lock for its whole life.
#pragma once

#include <windows.h>

#include "handler/shell_ext_win32.h"
#include "module/interface_map_win32.h"

namespace nivra {

template <class Base>
class CComObject;

template <>
class CComObject<CNivraShellExt> final : public CNivraShellExt {
  public:
    // The caller takes the module lock right after construction (CreateHandlerObject).
    CComObject() noexcept = default;
    ~CComObject() override;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) noexcept override;
    STDMETHODIMP_(ULONG) AddRef() noexcept override;
    STDMETHODIMP_(ULONG) Release() noexcept override;
};

// Makes a new handler object and queries it for `iid`; aggregation is never supported.
HRESULT CreateHandlerObject(void* outer, REFIID iid, void** out) noexcept;

}  // namespace nivra
