#include "module/registry_entries.h"

#include <gtest/gtest.h>

#include <vector>

#include "product_paths.h"
#include "support/wine_files.h"

namespace nivra::test {

const std::wstring kClsid = L"{37653C37-DEDE-49F1-A788-4E46787130D9}";
const std::wstring kClassKey = L"CLSID\\" + kClsid;
const std::wstring kHandlerKey = L"*\\ShellEx\\ContextMenuHandlers\\NivraShellExt";
const std::wstring kApprovedKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";

namespace {

HKEY OpenForReading(const ClassesRoot& root, const std::wstring& key) {
    HKEY opened = nullptr;
    const std::wstring path = key.empty() ? root.path : root.Below(key);
    if (::RegOpenKeyExW(root.key, path.empty() ? nullptr : path.c_str(), 0, KEY_READ | root.view,
                        &opened) != ERROR_SUCCESS) {
        return nullptr;
    }
    return opened;
}

// Walks every key below `key`, depth first, with its path relative to the root.
template <class Visit>
void Walk(HKEY key, const std::wstring& path, REGSAM view, Visit& visit) {
    visit(key, path);
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD units = 256;
        if (::RegEnumKeyExW(key, index, name, &units, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        HKEY child = nullptr;
        if (::RegOpenKeyExW(key, name, 0, KEY_READ | view, &child) != ERROR_SUCCESS)
            continue;
        Walk(child, path.empty() ? name : path + L"\\" + name, view, visit);
        ::RegCloseKey(child);
    }
}

std::wstring Upper(std::wstring text) {
    if (!text.empty())
        ::CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

}  // namespace

bool KeyExists(const std::wstring& key, const ClassesRoot& root) {
    HKEY opened = OpenForReading(root, key);
    if (opened == nullptr)
        return false;
    ::RegCloseKey(opened);
    return true;
}

std::optional<Value> ReadValue(const std::wstring& key, const wchar_t* name,
                               const ClassesRoot& root) {
    HKEY opened = OpenForReading(root, key);
    if (opened == nullptr)
        return std::nullopt;
    DWORD type = 0;
    DWORD bytes = 0;
    std::optional<Value> value;
    if (::RegQueryValueExW(opened, name, nullptr, &type, nullptr, &bytes) == ERROR_SUCCESS) {
        std::wstring data(bytes / sizeof(wchar_t), L'\0');
        ::RegQueryValueExW(opened, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                           &bytes);
        while (!data.empty() && data.back() == L'\0')
            data.pop_back();
        value = Value{type, data};
    }
    ::RegCloseKey(opened);
    return value;
}

void ExpectClassRegistered(const std::wstring& path, const ClassesRoot& root) {
    auto read = [&](const std::wstring& key, const wchar_t* name = nullptr) {
        return ReadValue(key, name, root);
    };
    EXPECT_EQ(read(kClassKey), Sz(L"NivraShellExt Class"));
    EXPECT_EQ(read(kClassKey + L"\\ProgID"), Sz(L"NivraShellExtLib.NivraShellExt.1"));
    EXPECT_EQ(read(kClassKey + L"\\VersionIndependentProgID"),
              Sz(L"NivraShellExtLib.NivraShellExt"));
    EXPECT_EQ(read(kClassKey + L"\\InprocServer32"), Sz(path));
    EXPECT_EQ(read(kClassKey + L"\\InprocServer32", L"ThreadingModel"), Sz(L"Apartment"));
    EXPECT_EQ(read(kClassKey + L"\\TypeLib"), Sz(L"{E451006E-80DB-4344-9EB2-83931605B560}"));
    EXPECT_EQ(read(kClassKey, L"ContextMenuOptIn"), Sz(L""));
    EXPECT_FALSE(KeyExists(kClassKey + L"\\Implemented Categories", root));
    EXPECT_FALSE(KeyExists(kClassKey + L"\\Required Categories", root));
}

void ExpectRegistered(const std::wstring& path, const ClassesRoot& root) {
    auto read = [&](const std::wstring& key, const wchar_t* name = nullptr) {
        return ReadValue(key, name, root);
    };
    EXPECT_EQ(read(L"NivraShellExtLib.NivraShellExt.1"), Sz(L"NivraShellExt Class"));
    EXPECT_EQ(read(L"NivraShellExtLib.NivraShellExt.1\\CLSID"), Sz(kClsid));
    EXPECT_EQ(read(L"NivraShellExtLib.NivraShellExt"), Sz(L"NivraShellExt Class"));
    EXPECT_EQ(read(L"NivraShellExtLib.NivraShellExt\\CLSID"), Sz(kClsid));
    EXPECT_EQ(read(L"NivraShellExtLib.NivraShellExt\\CurVer"),
              Sz(L"NivraShellExtLib.NivraShellExt.1"));
    EXPECT_EQ(read(kHandlerKey), Sz(kClsid));
    ExpectClassRegistered(path, root);
}

void ExpectUnregistered(const ClassesRoot& root) {
    for (const std::wstring& key :
         {std::wstring(L"NivraShellExtLib.NivraShellExt.1"),
          std::wstring(L"NivraShellExtLib.NivraShellExt"), kClassKey, kHandlerKey}) {
        EXPECT_FALSE(KeyExists(key, root)) << Utf8(key);
    }
    for (const wchar_t* kept :
         {L"CLSID", L"*", L"*\\ShellEx", L"*\\ShellEx\\ContextMenuHandlers"}) {
        EXPECT_TRUE(KeyExists(kept, root)) << Utf8(kept);
    }
}

RegistrySnapshot Snapshot(const ClassesRoot& root, const std::wstring& subkey) {
    RegistrySnapshot snapshot;
    HKEY top = OpenForReading(root, subkey);
    if (top == nullptr)
        return snapshot;
    std::vector<wchar_t> name(16384);
    std::vector<BYTE> data(4096);
    auto visit = [&](HKEY key, const std::wstring& path) {
        const std::wstring upperPath = Upper(path);
        snapshot.keys.insert(upperPath);
        for (DWORD index = 0;; ++index) {
            DWORD units = static_cast<DWORD>(name.size());
            DWORD type = 0;
            DWORD bytes = static_cast<DWORD>(data.size());
            LONG error = ::RegEnumValueW(key, index, name.data(), &units, nullptr, &type,
                                         data.data(), &bytes);
            if (error == ERROR_MORE_DATA) {
                data.resize(bytes);
                units = static_cast<DWORD>(name.size());
                error = ::RegEnumValueW(key, index, name.data(), &units, nullptr, &type,
                                        data.data(), &bytes);
            }
            if (error != ERROR_SUCCESS)
                break;
            snapshot.values[{upperPath, Upper(std::wstring(name.data(), units))}] = {
                type, std::string(data.begin(), data.begin() + bytes)};
        }
    };
    Walk(top, subkey, root.view, visit);
    ::RegCloseKey(top);
    return snapshot;
}

RegistrySnapshot EntriesSnapshot(const ClassesRoot& root) {
    RegistrySnapshot all;
    for (const std::wstring& key :
         {std::wstring(L"NivraShellExtLib.NivraShellExt.1"),
          std::wstring(L"NivraShellExtLib.NivraShellExt"), kClassKey, kHandlerKey}) {
        RegistrySnapshot one = Snapshot(root, key);
        all.keys.insert(one.keys.begin(), one.keys.end());
        all.values.insert(one.values.begin(), one.values.end());
    }
    return all;
}

RegistrySnapshot MachineSnapshot(REGSAM view) {
    RegistrySnapshot all = EntriesSnapshot(ClassesRoot{HKEY_CLASSES_ROOT, L"", view});
    const RegistrySnapshot approved = Snapshot(MachineRoot(view), kApprovedKey);
    all.values.insert(approved.values.begin(), approved.values.end());
    return all;
}

ValueSnapshot ChangedValues(const ValueSnapshot& before, const ValueSnapshot& after) {
    ValueSnapshot changed;
    for (const auto& [where, value] : after) {
        const auto old = before.find(where);
        if (old == before.end() || old->second != value)
            changed[where] = value;
    }
    return changed;
}

std::wstring CopyOfDll(const std::wstring& folderHint) {
    const std::wstring folder = MakeTempFolder(folderHint);
    CopyInto(NIVRA_DLL_PATH, folder, NIVRA_DLL_FILE_NAME);
    return folder + NIVRA_DLL_FILE_NAME;
}

std::wstring DllPathOfLength(std::size_t length) {
    std::wstring folder = MakeTempFolder(L"long");
    const std::wstring name = std::wstring(L"\\") + NIVRA_DLL_FILE_NAME;
    while (folder.size() + name.size() < length) {
        const std::size_t room = length - folder.size() - name.size();
        const std::wstring part(room > 60 ? 60 : room, L'd');
        folder += part;
        if (folder.size() + name.size() < length)
            folder += L"\\";
        ::CreateDirectoryW(folder.c_str(), nullptr);
    }
    if (folder.back() == L'\\')
        folder.pop_back();
    ::CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring dll = folder + name;
    ::CopyFileW(NIVRA_DLL_PATH, dll.c_str(), FALSE);
    return dll;
}

HRESULT CallExport(const std::wstring& dll, const char* name) {
    HMODULE module = ::LoadLibraryW(dll.c_str());
    if (module == nullptr)
        return HRESULT_FROM_WIN32(::GetLastError());
    auto exported = reinterpret_cast<HRESULT(WINAPI*)()>(
        reinterpret_cast<void*>(::GetProcAddress(module, name)));
    const HRESULT hr = exported != nullptr ? exported() : E_NOINTERFACE;
    ::FreeLibrary(module);
    return hr;
}

}  // namespace nivra::test
