// The handler's operations that the menu does not need yet.
#include "handler/shell_ext_win32.h"

namespace nivra {

HRESULT CNivraShellExt::GetTypeInfoCount(UINT* count) noexcept {
    if (count != nullptr)
        *count = 0;
    return E_NOTIMPL;
}
HRESULT CNivraShellExt::GetTypeInfo(UINT, LCID, ITypeInfo** info) noexcept {
    if (info != nullptr)
        *info = nullptr;
    return E_NOTIMPL;
}
HRESULT CNivraShellExt::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept {
    return E_NOTIMPL;
}
HRESULT CNivraShellExt::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                               UINT*) noexcept {
    return E_NOTIMPL;
}

HRESULT CNivraShellExt::QueryContextMenu(HMENU, UINT, UINT, UINT, UINT) noexcept {
    return E_NOTIMPL;
}
HRESULT CNivraShellExt::GetCommandString(UINT_PTR, UINT, UINT*, CHAR*, UINT) noexcept {
    return E_NOTIMPL;
}
HRESULT CNivraShellExt::HandleMenuMsg(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    return HandleMenuMsg2(message, wParam, lParam, nullptr);
}
HRESULT CNivraShellExt::HandleMenuMsg2(UINT, WPARAM, LPARAM, LRESULT* result) noexcept {
    if (result != nullptr)
        *result = 0;
    return E_NOTIMPL;
}

}  // namespace nivra
