// Prints registry keys, each with every key and value below it, in one process: under emulated
// Wine each reg.exe start costs seconds, and a test compares a dozen keys at a time.
// Usage: reg_dump [/reg:32|/reg:64] KEY...   KEY as HKLM\Software\... or HKCU\Software\...
// Each key prints "[KEY]" and then "absent", or its subkeys' paths and values, sorted by name
// as the registry keeps them; REG_SZ and REG_EXPAND_SZ as text, other types as hex bytes.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// As UTF-8 through printf: the arm64 Wine's msvcrt overflows its stack in wprintf.
void Out(const std::wstring& text) {
    const int bytes =
        ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(bytes > 0 ? bytes : 1, '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8.data(), bytes, nullptr, nullptr);
    std::fputs(utf8.c_str(), stdout);
}

void PrintValues(HKEY key) {
    // A value's name takes up to 16,383 units: on the heap, not in one large stack frame.
    std::vector<wchar_t> buffer(16384);
    wchar_t* name = buffer.data();
    for (DWORD index = 0;; ++index) {
        DWORD units = 16384, type = 0, bytes = 0;
        if (::RegEnumValueW(key, index, name, &units, nullptr, &type, nullptr, &bytes) !=
            ERROR_SUCCESS)
            break;
        std::vector<BYTE> data(bytes + sizeof(wchar_t));
        units = 16384;
        if (::RegEnumValueW(key, index, name, &units, nullptr, &type, data.data(), &bytes) !=
            ERROR_SUCCESS)
            break;
        Out(L"\"" + std::wstring(name) + L"\" " + std::to_wstring(type) + L" ");
        if (type == REG_SZ || type == REG_EXPAND_SZ) {
            Out(L"\"" + std::wstring(reinterpret_cast<const wchar_t*>(data.data())) + L"\"\n");
            continue;
        }
        for (DWORD i = 0; i < bytes; ++i)
            std::printf("%02x", data[i]);
        std::printf("\n");
    }
}

void Walk(HKEY key, const std::wstring& path, REGSAM view) {
    Out(L"[" + path + L"]\n");
    PrintValues(key);
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD units = 256;
        if (::RegEnumKeyExW(key, index, name, &units, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        HKEY child = nullptr;
        if (::RegOpenKeyExW(key, name, 0, KEY_READ | view, &child) != ERROR_SUCCESS)
            continue;
        Walk(child, path + L"\\" + name, view);
        ::RegCloseKey(child);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    REGSAM view = 0;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"/reg:32" || arg == L"/reg:64") {
            view = arg == L"/reg:32" ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
            continue;
        }
        const std::size_t slash = arg.find(L'\\');
        const std::wstring hive = arg.substr(0, slash);
        HKEY root = hive == L"HKLM"   ? HKEY_LOCAL_MACHINE
                    : hive == L"HKCU" ? HKEY_CURRENT_USER
                                      : nullptr;
        if (!root || slash == std::wstring::npos) {
            std::fputs("reg_dump: a key is HKLM\\... or HKCU\\...\n", stderr);
            return 2;
        }
        HKEY key = nullptr;
        if (::RegOpenKeyExW(root, arg.c_str() + slash + 1, 0, KEY_READ | view, &key) !=
            ERROR_SUCCESS) {
            Out(L"[" + arg + L"]\nabsent\n");
            continue;
        }
        Walk(key, arg, view);
        ::RegCloseKey(key);
    }
    return 0;
}
