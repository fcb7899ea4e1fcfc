#include "registrar/module_resources_win32.h"

#include <windows.h>

#include <climits>

#include "common/text_win32.h"

namespace nivra {

namespace {

class CWin32ModuleResources final : public IModuleResources {
  public:
    constexpr CWin32ModuleResources() noexcept = default;

    void* LoadDataModule(const char16_t* path) noexcept override {
        return ::LoadLibraryExW(AsWide(path), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    void ReleaseModule(void* module) noexcept override {
        ::FreeLibrary(static_cast<HMODULE>(module));
    }
    void* FindScriptResource(void* module, const char16_t* type, ResourceId id) noexcept override {
        const wchar_t* name = id.name != nullptr ? AsWide(id.name) : MAKEINTRESOURCEW(id.number);
        return ::FindResourceW(static_cast<HMODULE>(module), name, AsWide(type));
    }
    bool LoadResourceBytes(void* module, void* resource, const void** bytes,
                           std::uint32_t* size) noexcept override {
        HGLOBAL loaded = ::LoadResource(static_cast<HMODULE>(module), static_cast<HRSRC>(resource));
        if (loaded == nullptr)
            return false;
        *bytes = ::LockResource(loaded);
        *size = ::SizeofResource(static_cast<HMODULE>(module), static_cast<HRSRC>(resource));
        return *bytes != nullptr;
    }
    std::uint32_t ConvertAnsi(const char* bytes, std::uint32_t size, char16_t* destination,
                              std::uint32_t room) noexcept override {
        if (size > INT_MAX || room > INT_MAX) {
            ::SetLastError(ERROR_ARITHMETIC_OVERFLOW);
            return 0;
        }
        const int converted = ::MultiByteToWideChar(CP_THREAD_ACP, 0, bytes, static_cast<int>(size),
                                                    AsWide(destination), static_cast<int>(room));
        return converted > 0 ? static_cast<std::uint32_t>(converted) : 0;
    }
    std::uint32_t LastError() noexcept override { return ::GetLastError(); }
};

CWin32ModuleResources g_win32ModuleResources;

}  // namespace

IModuleResources& Win32ModuleResources() noexcept {
    return g_win32ModuleResources;
}

}  // namespace nivra
