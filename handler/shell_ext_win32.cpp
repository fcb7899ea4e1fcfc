// The handler's operations that the menu does not need yet.
#include "handler/shell_ext_win32.h"

namespace nivra {

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
