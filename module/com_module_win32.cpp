#include "module/com_module_win32.h"

#include <cstring>

namespace nivra {

CComModule* g_modulePointer = nullptr;

CComModuleRecord::CComModuleRecord() noexcept
    : objectMapLock(), registrationLock(), initialized(false) {
    if (!::InitializeCriticalSectionAndSpinCount(&objectMapLock, 0))
        return;
    if (!::InitializeCriticalSectionAndSpinCount(&registrationLock, 0)) {
        ::DeleteCriticalSection(&objectMapLock);
        return;
    }
    initialized = true;
}

CComModuleRecord::~CComModuleRecord() {
    if (initialized) {
        initialized = false;
        ::DeleteCriticalSection(&registrationLock);
        ::DeleteCriticalSection(&objectMapLock);
    }
}

RegistrationLock::RegistrationLock() noexcept : held_(g_comModule.initialized) {
    if (held_)
        ::EnterCriticalSection(&g_comModule.registrationLock);
}

RegistrationLock::~RegistrationLock() {
    if (held_)
        ::LeaveCriticalSection(&g_comModule.registrationLock);
}

CComModule::CComModule() noexcept {
    g_modulePointer = this;
}

void InitializeModule() noexcept {
    g_module.m_classMap = g_classObjectMap;
    for (ClassMapEntry* entry = g_classObjectMap; entry->classId != nullptr; ++entry) {
        entry->classInit(true);
    }
}

void TerminateModule() noexcept {
    for (ClassMapEntry* entry = g_module.m_classMap; entry != nullptr && entry->classId != nullptr;
         ++entry) {
        if (entry->cachedFactory != nullptr)
            entry->cachedFactory->Release();
        entry->cachedFactory = nullptr;
        entry->classInit(false);
    }
}

namespace {

IUnknown* ReadCachedFactory(const ClassMapEntry& entry) noexcept {
    return static_cast<IUnknown*>(::InterlockedCompareExchangePointer(
        reinterpret_cast<PVOID volatile*>(const_cast<IUnknown**>(&entry.cachedFactory)), nullptr,
        nullptr));
}

// Creates the class's factory once per process. The new factory is published only when it
// is complete, so a thread that reads the cache without the lock never sees half of one.
HRESULT CreateFactoryOnce(ClassMapEntry& entry) noexcept {
    if (!g_comModule.initialized)
        return E_UNEXPECTED;
    HRESULT hr = S_OK;
    ::EnterCriticalSection(&g_comModule.objectMapLock);
    if (entry.cachedFactory == nullptr) {
        void* created = nullptr;
        hr = entry.createClassObject(reinterpret_cast<void*>(entry.createInstance), IID_IUnknown,
                                     &created);
        if (SUCCEEDED(hr)) {
            ::InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&entry.cachedFactory),
                                         created);
        }
    }
    ::LeaveCriticalSection(&g_comModule.objectMapLock);
    return hr;
}

}  // namespace

HRESULT FindClassObject(REFCLSID classId, REFIID iid, void** out) noexcept {
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    HRESULT hr = S_OK;
    for (ClassMapEntry* entry = g_module.m_classMap; entry != nullptr && entry->classId != nullptr;
         ++entry) {
        if (entry->createClassObject == nullptr ||
            std::memcmp(entry->classId, &classId, sizeof(CLSID)) != 0) {
            continue;
        }
        if (ReadCachedFactory(*entry) == nullptr)
            hr = CreateFactoryOnce(*entry);
        if (IUnknown* factory = ReadCachedFactory(*entry))
            hr = factory->QueryInterface(iid, out);
        break;
    }
    if (*out == nullptr && hr == S_OK) {
        return g_comModule.initialized ? CLASS_E_CLASSNOTAVAILABLE : E_UNEXPECTED;
    }
    return hr;
}

}  // namespace nivra
