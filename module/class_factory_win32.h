// The class factory, of which the module caches one per process.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include "module/com_module_win32.h"
#include "module/com_object_root_win32.h"

namespace nivra {

class CComClassFactory : public IClassFactory, public CComObjectRootEx<CComMultiThreadModel> {
  public:
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) noexcept override;
    // Locks or unlocks the module; keeps no record of its own.
    STDMETHODIMP LockServer(BOOL lock) noexcept override;

  protected:
    CreatorFunction m_creator = nullptr;
};

// The cached factory: the cache's own reference (count 1) never locks the module; client
// references lock it once in total, from count 1 to 2 until back from 2 to 1.
class CComObjectCached final : public CComClassFactory {
  public:
    explicit CComObjectCached(CreatorFunction creator) noexcept { m_creator = creator; }
    virtual ~CComObjectCached();

    STDMETHODIMP QueryInterface(REFIID iid, void** out) noexcept override;
    STDMETHODIMP_(ULONG) AddRef() noexcept override;
    STDMETHODIMP_(ULONG) Release() noexcept override;

    HRESULT Initialize() noexcept { return InitializeSection(); }
};

// Makes the factory for `creator` (the class's instance creator) and queries it for `iid`.
HRESULT CreateCachedFactory(void* creator, REFIID iid, void** out) noexcept;

}  // namespace nivra
