// A class of the library wrapped with reference counting, lookup in its interface table and one
// module lock for its whole life; and the creator that makes one. One wrapper for every class,
// so each class only names its interfaces.
#pragma once

#include <windows.h>

#include <new>

#include "common/heap.h"
#include "module/com_module_win32.h"
#include "module/com_object_root_win32.h"
#include "module/interface_map_win32.h"

namespace nivra {

template <class Base>
class CComObject;

// The interface table of CComObject<Base>, defined beside the class's creator. IUnknown is
// answered with its first entry.
template <class Base>
const InterfaceMapEntry* InterfaceTable() noexcept;

template <class Base>
class CComObject final : public Base {
  public:
    // The creator takes the module lock right after construction.
    CComObject() noexcept = default;
    // Runs before the class's own destruction.
    ~CComObject() override {
        this->m_dwRef = kCountDuringDestruction;
        g_modulePointer->UnlockModule();
    }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) noexcept override {
        return QueryInterfaceFromTable(this, InterfaceTable<Base>(), iid, out);
    }
    STDMETHODIMP_(ULONG) AddRef() noexcept override {
        return static_cast<ULONG>(this->InternalAddRef());
    }
    STDMETHODIMP_(ULONG) Release() noexcept override {
        const LONG count = this->InternalRelease();
        if (count == 0)
            Destroy(this);
        return static_cast<ULONG>(count);
    }

    static void Destroy(CComObject* object) noexcept {
        object->~CComObject();
        MemFree(object);
    }
};

// Makes a new object of `Base` and queries it for `iid`; aggregation is never supported. On
// failure nothing is left: no object, no module lock, `*out` null.
template <class Base>
HRESULT CreateComObject(void* outer, REFIID iid, void** out) noexcept {
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    if (outer != nullptr)
        return CLASS_E_NOAGGREGATION;
    void* block = MemAllocate(sizeof(CComObject<Base>));
    if (block == nullptr)
        return E_OUTOFMEMORY;
    auto* object = new (block) CComObject<Base>();
    g_modulePointer->LockModule();
    const HRESULT hr = object->QueryInterface(iid, out);
    if (hr != S_OK) {
        *out = nullptr;
        CComObject<Base>::Destroy(object);  // gives its module lock back
        return hr;
    }
    return S_OK;
}

}  // namespace nivra
