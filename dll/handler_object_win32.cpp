#include "dll/handler_object_win32.h"

namespace nivra {

namespace {

using HandlerObject = CComObject<CNivraShellExt>;

// IUnknown is answered with the first entry, so the identity is the IShellExtInit pointer;
// the dispatch pointer is never handed out.
const InterfaceMapEntry kHandlerInterfaces[] = {
    {&IID_IShellExtInit, OffsetOfInterface<HandlerObject, IShellExtInit>(), kInterfaceAtOffset},
    {&IID_IContextMenu, OffsetOfInterface<HandlerObject, IContextMenu3>(), kInterfaceAtOffset},
    {&IID_IContextMenu2, OffsetOfInterface<HandlerObject, IContextMenu3>(), kInterfaceAtOffset},
    {&IID_IContextMenu3, OffsetOfInterface<HandlerObject, IContextMenu3>(), kInterfaceAtOffset},
    {nullptr, 0, 0},
};

}  // namespace

template <>
const InterfaceMapEntry* InterfaceTable<CNivraShellExt>() noexcept {
    return kHandlerInterfaces;
}

HRESULT CreateHandlerObject(void* outer, REFIID iid, void** out) noexcept {
    return CreateComObject<CNivraShellExt>(outer, iid, out);
}

}  // namespace nivra
