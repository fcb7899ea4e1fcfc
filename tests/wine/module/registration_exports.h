// A copy of the DLL loaded in this process, with its registration exports.
#pragma once

#include <windows.h>

#include <string>

namespace nivra::test {

class RegistrationExports {
  public:
    explicit RegistrationExports(const std::wstring& path) : module_(::LoadLibraryW(path.c_str())) {
        if (module_ == nullptr)
            return;
        install_ = reinterpret_cast<HRESULT(WINAPI*)(BOOL, LPCWSTR)>(
            reinterpret_cast<void*>(::GetProcAddress(module_, "DllInstall")));
        register_ = reinterpret_cast<HRESULT(WINAPI*)()>(
            reinterpret_cast<void*>(::GetProcAddress(module_, "DllRegisterServer")));
        unregister_ = reinterpret_cast<HRESULT(WINAPI*)()>(
            reinterpret_cast<void*>(::GetProcAddress(module_, "DllUnregisterServer")));
    }
    ~RegistrationExports() {
        if (module_ != nullptr)
            ::FreeLibrary(module_);
    }
    RegistrationExports(const RegistrationExports&) = delete;
    RegistrationExports& operator=(const RegistrationExports&) = delete;

    bool loaded() const { return install_ && register_ && unregister_; }
    HRESULT Install(BOOL install, const wchar_t* commandLine) const {
        return install_(install, commandLine);
    }
    HRESULT Register() const { return register_(); }
    HRESULT Unregister() const { return unregister_(); }

  private:
    HMODULE module_;
    HRESULT(WINAPI* install_)(BOOL, LPCWSTR) = nullptr;
    HRESULT(WINAPI* register_)() = nullptr;
    HRESULT(WINAPI* unregister_)() = nullptr;
};

}  // namespace nivra::test
