#include "confined_registry.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "common/text_win32.h"
#include "memory_registry.h"
#include "registrar/registry_win32.h"

namespace nivra::testing {

namespace {

const char* const kRootNames[] = {"HKCR", "HKCU", "HKLM", "HKU", "HKPD", "HKCC", "HKDD"};
constexpr wchar_t kTestsKey[] = L"Software\\NivraShellExtTests";

std::wstring WideOf(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

std::string NarrowOf(const wchar_t* text) {
    return Narrow(AsUtf16(text));
}

std::string Hex(const BYTE* data, DWORD size) {
    std::string text;
    char digits[3];
    for (DWORD i = 0; i < size; ++i) {
        std::snprintf(digits, sizeof digits, "%02x", data[i]);
        text += digits;
    }
    return text;
}

std::string ValueLine(const std::string& path, const wchar_t* name, DWORD type,
                      const std::vector<BYTE>& data) {
    std::string line = path + "|" + NarrowOf(name) + "=";
    if (type != REG_SZ)
        return line + std::to_string(type) + ":" + Hex(data.data(), DWORD(data.size()));
    std::u16string text;
    for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
        const char16_t unit = char16_t(data[i] | (data[i + 1] << 8));
        if (unit == 0)
            break;
        text += unit;
    }
    return line + "S:" + Narrow(text.c_str());
}

void DumpKey(HKEY key, const std::string& path, std::vector<std::string>& out) {
    wchar_t name[16384];
    std::vector<BYTE> data;
    for (DWORD index = 0;; ++index) {
        DWORD nameUnits = 16384, type = 0, size = 0;
        if (RegEnumValueW(key, index, name, &nameUnits, nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS)
            break;
        data.assign(size, 0);
        nameUnits = 16384;
        RegEnumValueW(key, index, name, &nameUnits, nullptr, &type, data.data(), &size);
        out.push_back(ValueLine(path, name, type, data));
    }
    for (DWORD index = 0;; ++index) {
        DWORD nameUnits = 256;
        if (RegEnumKeyExW(key, index, name, &nameUnits, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        const std::string childPath = path + "\\" + NarrowOf(name);
        out.push_back(childPath);
        HKEY child = nullptr;
        if (RegOpenKeyExW(key, name, 0, KEY_READ, &child) == ERROR_SUCCESS) {
            DumpKey(child, childPath, out);
            RegCloseKey(child);
        }
    }
}

}  // namespace

ConfinedRegistry::ConfinedRegistry() {
    static unsigned serial = 0;
    wchar_t unique[64];
    std::swprintf(unique, 64, L"\\registrar-%lu-%lu-%u", GetCurrentProcessId(), GetTickCount(),
                  ++serial);
    const std::wstring path = std::wstring(kTestsKey) + unique;
    testPath_ = AsUtf16(path.c_str());
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return;
    testKey_ = key;
    for (int i = 0; i < 7; ++i) {
        HKEY root = nullptr;
        RegCreateKeyExW(key, WideOf(kRootNames[i]).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &root, nullptr);
        roots_[i] = root;
    }
}

ConfinedRegistry::~ConfinedRegistry() {
    for (void* root : roots_) {
        if (root != nullptr)
            RegCloseKey(HKEY(root));
    }
    if (testKey_ == nullptr)
        return;
    RegDeleteTreeW(HKEY(testKey_), nullptr);
    RegCloseKey(HKEY(testKey_));
    HKEY tests = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kTestsKey, 0, KEY_ALL_ACCESS, &tests) == ERROR_SUCCESS) {
        RegDeleteKeyW(tests, AsWide(testPath_.c_str()) + wcslen(kTestsKey) + 1);
        RegCloseKey(tests);
    }
    // The shared parent goes too once the last test run has left it empty.
    RegDeleteKeyW(HKEY_CURRENT_USER, kTestsKey);
}

RegKey ConfinedRegistry::Map(RegKey key) const noexcept {
    if (!IsPredefinedKey(key))
        return key;
    return reinterpret_cast<RegKey>(roots_[key - kClassesRoot]);
}

std::int32_t ConfinedRegistry::OpenKey(RegKey parent, const char16_t* subkey, std::uint32_t access,
                                       RegKey* opened) noexcept {
    ++calls_;
    const std::int32_t error = Win32Registry().OpenKey(Map(parent), subkey, access, opened);
    openHandles_ += error == kErrorSuccess;
    return error;
}

std::int32_t ConfinedRegistry::CreateKey(RegKey parent, const char16_t* name, std::uint32_t access,
                                         RegKey* created) noexcept {
    ++calls_;
    const std::int32_t error = Win32Registry().CreateKey(Map(parent), name, access, created);
    openHandles_ += error == kErrorSuccess;
    return error;
}

std::int32_t ConfinedRegistry::CloseKey(RegKey key) noexcept {
    ++calls_;
    if (IsPredefinedKey(key))
        return kErrorSuccess;
    const std::int32_t error = Win32Registry().CloseKey(key);
    openHandles_ -= error == kErrorSuccess;
    return error;
}

std::int32_t ConfinedRegistry::SetValue(RegKey key, const char16_t* name, std::uint32_t type,
                                        const void* data, std::uint32_t bytes) noexcept {
    ++calls_;
    return Win32Registry().SetValue(Map(key), name, type, data, bytes);
}

std::int32_t ConfinedRegistry::DeleteValue(RegKey key, const char16_t* name) noexcept {
    ++calls_;
    return Win32Registry().DeleteValue(Map(key), name);
}

std::int32_t ConfinedRegistry::DeleteKey(RegKey parent, const char16_t* name) noexcept {
    ++calls_;
    return Win32Registry().DeleteKey(Map(parent), name);
}

std::int32_t ConfinedRegistry::EnumerateKey(RegKey key, std::uint32_t index, char16_t* name,
                                            std::uint32_t* nameUnits) noexcept {
    ++calls_;
    return Win32Registry().EnumerateKey(Map(key), index, name, nameUnits);
}

std::int32_t ConfinedRegistry::CountSubkeys(RegKey key, std::uint32_t* count) noexcept {
    ++calls_;
    return Win32Registry().CountSubkeys(Map(key), count);
}

std::vector<std::string> ConfinedRegistry::Dump() const {
    std::vector<std::string> out;
    for (int i = 0; i < 7; ++i) {
        if (roots_[i] != nullptr)
            DumpKey(HKEY(roots_[i]), kRootNames[i], out);
    }
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace nivra::testing
