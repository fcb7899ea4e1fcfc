// The handler's registry entries as the registration tests read them, under any classes root
// (HKEY_CLASSES_ROOT, or HKEY_CURRENT_USER\Software\Classes for per-user registration).
#pragma once

#include <windows.h>

#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>

namespace nivra::test {

extern const std::wstring kClsid;
extern const std::wstring kClassKey;
extern const std::wstring kHandlerKey;

struct Value {
    DWORD type;
    std::wstring data;
    bool operator==(const Value& o) const { return type == o.type && data == o.data; }
};
inline Value Sz(const std::wstring& data) {
    return Value{REG_SZ, data};
}

// A classes root: a predefined key, or a subkey of one, in a registry view (0: the process's).
struct ClassesRoot {
    HKEY key;
    std::wstring path;  // below `key`; empty for the key itself
    REGSAM view = 0;
    std::wstring Below(const std::wstring& subkey) const {
        return path.empty() ? subkey : path + L"\\" + subkey;
    }
};
inline const ClassesRoot kMergedClasses{HKEY_CLASSES_ROOT, L""};
inline const ClassesRoot kUserClasses{HKEY_CURRENT_USER, L"Software\\Classes"};
inline const ClassesRoot kMachineClasses{HKEY_LOCAL_MACHINE, L"Software\\Classes"};
// HKEY_CLASSES_ROOT in one registry view, as a program of that architecture reads it (Wine
// keeps only the view's own keys under HKLM\Software\Wow6432Node\Classes).
inline const ClassesRoot kClasses64{HKEY_CLASSES_ROOT, L"", KEY_WOW64_64KEY};
inline const ClassesRoot kClasses32{HKEY_CLASSES_ROOT, L"", KEY_WOW64_32KEY};

// The list of the "approved shell extensions only" policy, in a view of HKEY_LOCAL_MACHINE.
extern const std::wstring kApprovedKey;
inline ClassesRoot MachineRoot(REGSAM view = 0) {
    return ClassesRoot{HKEY_LOCAL_MACHINE, L"", view};
}

bool KeyExists(const std::wstring& key, const ClassesRoot& root = kMergedClasses);
std::optional<Value> ReadValue(const std::wstring& key, const wchar_t* name = nullptr,
                               const ClassesRoot& root = kMergedClasses);

// The class key's entries, with `path` as its InprocServer32, and its ContextMenuOptIn.
void ExpectClassRegistered(const std::wstring& path, const ClassesRoot& root);
// Those and the rest of the handler's table: its program identifiers and the handler entry.
void ExpectRegistered(const std::wstring& path, const ClassesRoot& root = kMergedClasses);
// No entry left; the shared parents stay.
void ExpectUnregistered(const ClassesRoot& root = kMergedClasses);

// Every key and value below a root's `subkey` (all of the root by default), by paths relative
// to the root. Paths and value names are in upper case: the registry ignores letter case.
using ValueSnapshot =
    std::map<std::pair<std::wstring, std::wstring>, std::pair<DWORD, std::string>>;
struct RegistrySnapshot {
    std::set<std::wstring> keys;
    ValueSnapshot values;
};
RegistrySnapshot Snapshot(const ClassesRoot& root, const std::wstring& subkey = L"");
// The same, of the keys that registration can touch alone: quick even over Wine's large
// machine classes.
RegistrySnapshot EntriesSnapshot(const ClassesRoot& root);
// What registration can touch for the machine in `view`: the entries under HKEY_CLASSES_ROOT
// (the user's classes hold none of them in these tests) and the Approved list's values.
RegistrySnapshot MachineSnapshot(REGSAM view);
// The values of `after` that are new or changed since `before`.
ValueSnapshot ChangedValues(const ValueSnapshot& before, const ValueSnapshot& after);

// The shipped DLL copied into a folder of its own (the folder name is part of the test).
std::wstring CopyOfDll(const std::wstring& folderHint);
// A copy of the shipped DLL whose full path has exactly `length` units.
std::wstring DllPathOfLength(std::size_t length);
// Loads the DLL, calls an export without arguments and unloads it.
HRESULT CallExport(const std::wstring& dll, const char* name);

}  // namespace nivra::test
