#include "module/handler_object_win32.h"

#include <new>

#include "common/heap.h"
#include "module/com_module_win32.h"

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

void DestroyHandler(HandlerObject* object) noexcept {
    object->~HandlerObject();
    MemFree(object);
}

}  // namespace

// Runs before the handler class's own destruction (bitmap, theme library, path).
CComObject<CNivraShellExt>::~CComObject() {
    m_dwRef = kCountDuringDestruction;
    g_modulePointer->UnlockModule();
}

HRESULT CComObject<CNivraShellExt>::QueryInterface(REFIID iid, void** out) noexcept {
    return QueryInterfaceFromTable(this, kHandlerInterfaces, iid, out);
}

ULONG CComObject<CNivraShellExt>::AddRef() noexcept {
    return static_cast<ULONG>(InternalAddRef());
}

ULONG CComObject<CNivraShellExt>::Release() noexcept {
    const LONG count = InternalRelease();
    if (count == 0) DestroyHandler(this);
    return static_cast<ULONG>(count);
}

HRESULT CreateHandlerObject(void* outer, REFIID iid, void** out) noexcept {
    if (outer != nullptr) {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        return CLASS_E_NOAGGREGATION;
    }
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    void* block = MemAllocate(sizeof(HandlerObject));
    if (block == nullptr) return E_OUTOFMEMORY;
    auto* object = new (block) HandlerObject();
    g_modulePointer->LockModule();
    const HRESULT hr = object->QueryInterface(iid, out);
    if (hr != S_OK) {
        *out = nullptr;
        DestroyHandler(object);  // gives its module lock back
        return hr;
    }
    return S_OK;
}

}  // namespace nivra
