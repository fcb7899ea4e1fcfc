// The shipped DLL, loaded as a host loads it, with its exports.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <string>

namespace nivra::test {

class ShippedDll {
  public:
    explicit ShippedDll(const std::wstring& path);
    ~ShippedDll();
    ShippedDll(const ShippedDll&) = delete;
    ShippedDll& operator=(const ShippedDll&) = delete;

    bool loaded() const { return module_ != nullptr; }
    HRESULT GetClassObject(REFCLSID classId, REFIID iid, void** out) const {
        return getClassObject_(classId, iid, out);
    }
    HRESULT CanUnloadNow() const { return canUnloadNow_(); }
    // The class factory of the handler class; null on failure.
    IClassFactory* Factory() const;
    // A new handler object through the factory, as its IShellExtInit; null on failure.
    IShellExtInit* NewHandler() const;

  private:
    HMODULE module_;
    HRESULT(WINAPI* getClassObject_)(REFCLSID, REFIID, void**) = nullptr;
    HRESULT(WINAPI* canUnloadNow_)() = nullptr;
};

extern const CLSID kHandlerClass;
extern const IID kHandlerDispatchInterface;

}  // namespace nivra::test
