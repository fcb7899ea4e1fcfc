#include "registrar/registry_win32.h"

#include <windows.h>

#include "common/text_win32.h"

namespace nivra {

namespace {

static_assert(sizeof(RegKey) == sizeof(HKEY));
static_assert(PredefinedKey(0x80000000u) ==
                  static_cast<RegKey>(static_cast<ULONG_PTR>(static_cast<LONG>(0x80000000))),
              "predefined keys keep the platform's handle values");
static_assert(kKeyRead == KEY_READ && kKeyWrite == KEY_WRITE);
static_assert(kRegSz == REG_SZ && kRegMultiSz == REG_MULTI_SZ && kRegDword == REG_DWORD &&
              kRegBinary == REG_BINARY);

HKEY AsKey(RegKey key) noexcept {
    return reinterpret_cast<HKEY>(key);
}

class CWin32Registry final : public IRegistry {
  public:
    constexpr CWin32Registry() noexcept = default;

    std::int32_t OpenKey(RegKey parent, const char16_t* subkey, std::uint32_t access,
                         RegKey* opened) noexcept override {
        HKEY key = nullptr;
        const LONG error = ::RegOpenKeyExW(AsKey(parent), AsWide(subkey), 0, access, &key);
        *opened = error == ERROR_SUCCESS ? reinterpret_cast<RegKey>(key) : kNoKey;
        return error;
    }
    std::int32_t CreateKey(RegKey parent, const char16_t* name, std::uint32_t access,
                           RegKey* created) noexcept override {
        HKEY key = nullptr;
        const LONG error =
            ::RegCreateKeyExW(AsKey(parent), AsWide(name), 0, nullptr, REG_OPTION_NON_VOLATILE,
                              access, nullptr, &key, nullptr);
        *created = error == ERROR_SUCCESS ? reinterpret_cast<RegKey>(key) : kNoKey;
        return error;
    }
    std::int32_t CloseKey(RegKey key) noexcept override { return ::RegCloseKey(AsKey(key)); }
    std::int32_t SetValue(RegKey key, const char16_t* name, std::uint32_t type, const void* data,
                          std::uint32_t bytes) noexcept override {
        return ::RegSetValueExW(AsKey(key), AsWide(name), 0, type, static_cast<const BYTE*>(data),
                                bytes);
    }
    std::int32_t DeleteValue(RegKey key, const char16_t* name) noexcept override {
        return ::RegDeleteValueW(AsKey(key), AsWide(name));
    }
    // An empty name would make advapi32 delete `parent` itself, a key the caller never named.
    std::int32_t DeleteKey(RegKey parent, const char16_t* name) noexcept override {
        if (name == nullptr || *name == u'\0')
            return ERROR_INVALID_PARAMETER;
        return ::RegDeleteKeyW(AsKey(parent), AsWide(name));
    }
    std::int32_t EnumerateKey(RegKey key, std::uint32_t index, char16_t* name,
                              std::uint32_t* nameUnits) noexcept override {
        DWORD units = *nameUnits;
        const LONG error = ::RegEnumKeyExW(AsKey(key), index, AsWide(name), &units, nullptr,
                                           nullptr, nullptr, nullptr);
        if (error == ERROR_SUCCESS)
            *nameUnits = units;
        return error;
    }
    std::int32_t CountSubkeys(RegKey key, std::uint32_t* count) noexcept override {
        DWORD subkeys = 0;
        const LONG error =
            ::RegQueryInfoKeyW(AsKey(key), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr, nullptr);
        if (error == ERROR_SUCCESS)
            *count = subkeys;
        return error;
    }
};

CWin32Registry g_win32Registry;

}  // namespace

IRegistry& Win32Registry() noexcept {
    return g_win32Registry;
}

}  // namespace nivra
