// Reference-count roots of the library's COM objects, and the empty bases that give the
// handler class its place in the class table and its dispatch interface.
#pragma once

#include <windows.h>
#include <oaidl.h>

namespace nivra {

// Plain counting: an apartment-threaded object is only called on its own thread.
struct CComSingleThreadModel {
    static LONG Increment(LONG* value) noexcept { return ++*value; }
    static LONG Decrement(LONG* value) noexcept { return --*value; }
};

// Atomic counting for objects that any thread may call.
struct CComMultiThreadModel {
    static LONG Increment(LONG* value) noexcept { return ::InterlockedIncrement(value); }
    static LONG Decrement(LONG* value) noexcept { return ::InterlockedDecrement(value); }
};

// Set while an object is torn down, so that stray AddRef/Release pairs during its
// destruction cannot bring the count back to zero and destroy it twice.
inline constexpr LONG kCountDuringDestruction = -1073741823;  // 0xC0000001

class CComObjectRootBase {
  protected:
    LONG m_dwRef = 0;
};

template <class ThreadModel>
class CComObjectRootEx : public CComObjectRootBase {
  protected:
    LONG InternalAddRef() noexcept { return ThreadModel::Increment(&m_dwRef); }
    LONG InternalRelease() noexcept { return ThreadModel::Decrement(&m_dwRef); }
};

// The multi-threaded root also carries a critical section that no operation of the library
// enters; it is made with the object and deleted only when it was made.
template <>
class CComObjectRootEx<CComMultiThreadModel> : public CComObjectRootBase {
  protected:
    LONG InternalAddRef() noexcept { return CComMultiThreadModel::Increment(&m_dwRef); }
    LONG InternalRelease() noexcept { return CComMultiThreadModel::Decrement(&m_dwRef); }
    // Fails only when memory runs out.
    HRESULT InitializeSection() noexcept {
        if (!::InitializeCriticalSectionAndSpinCount(&m_section, 0))
            return E_OUTOFMEMORY;
        m_sectionInitialized = 1;
        return S_OK;
    }
    void DeleteSection() noexcept {
        if (m_sectionInitialized == 1) {
            m_sectionInitialized = 0;
            ::DeleteCriticalSection(&m_section);
        }
    }

    CRITICAL_SECTION m_section = {};
    BYTE m_sectionInitialized = 0;
};

// Ties a class to its class identifier; no data.
template <class T, const CLSID* Clsid>
class CComCoClass {};

// The dispatch interface of a dual interface. The library ships no type library, and no
// QueryInterface hands this pointer out, so the operations only refuse.
template <class Interface>
class IDispatchImpl : public Interface {
  public:
    STDMETHODIMP GetTypeInfoCount(UINT* count) noexcept override {
        if (count != nullptr)
            *count = 0;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) noexcept override {
        if (info != nullptr)
            *info = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept override {
        return E_NOTIMPL;
    }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                        UINT*) noexcept override {
        return E_NOTIMPL;
    }
};

}  // namespace nivra
