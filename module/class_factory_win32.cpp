#include "module/class_factory_win32.h"

#include <new>

#include "common/heap.h"
#include "module/interface_map_win32.h"

namespace nivra {

namespace {

const InterfaceMapEntry kFactoryInterfaces[] = {
    {&IID_IClassFactory, OffsetOfInterface<CComObjectCached, IClassFactory>(), kInterfaceAtOffset},
    {nullptr, 0, 0},
};

void DestroyFactory(CComObjectCached* factory) noexcept {
    factory->~CComObjectCached();
    MemFree(factory);
}

}  // namespace

HRESULT CComClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out) noexcept {
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    if (outer != nullptr && !IsEqualIID(iid, IID_IUnknown))
        return CLASS_E_NOAGGREGATION;
    return m_creator(outer, iid, out);
}

HRESULT CComClassFactory::LockServer(BOOL lock) noexcept {
    if (lock) {
        g_modulePointer->LockModule();
    } else {
        g_modulePointer->UnlockModule();
    }
    return S_OK;
}

CComObjectCached::~CComObjectCached() {
    m_dwRef = kCountDuringDestruction;
    DeleteSection();
}

HRESULT CComObjectCached::QueryInterface(REFIID iid, void** out) noexcept {
    return QueryInterfaceFromTable(this, kFactoryInterfaces, iid, out);
}

ULONG CComObjectCached::AddRef() noexcept {
    const LONG count = InternalAddRef();
    if (count == 2)
        g_modulePointer->LockModule();
    return static_cast<ULONG>(count);
}

ULONG CComObjectCached::Release() noexcept {
    const LONG count = InternalRelease();
    if (count == 0) {
        DestroyFactory(this);
    } else if (count == 1) {
        g_modulePointer->UnlockModule();
    }
    return static_cast<ULONG>(count);
}

HRESULT CreateCachedFactory(void* creator, REFIID iid, void** out) noexcept {
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    void* block = MemAllocate(sizeof(CComObjectCached));
    if (block == nullptr)
        return E_OUTOFMEMORY;
    auto* factory = new (block) CComObjectCached(reinterpret_cast<CreatorFunction>(creator));
    HRESULT hr = factory->Initialize();
    if (hr == S_OK)
        hr = factory->QueryInterface(iid, out);
    if (hr != S_OK) {
        // No client reference was taken, so no module lock to give back.
        *out = nullptr;
        DestroyFactory(factory);
        return hr;
    }
    return S_OK;
}

}  // namespace nivra
