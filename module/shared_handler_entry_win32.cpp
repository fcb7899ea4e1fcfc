#include "module/shared_handler_entry_win32.h"

#include "registrar/registry_key.h"
#include "registrar/registry_win32.h"

namespace nivra {

namespace {
constexpr int kClassIdUnits = 38;
constexpr int kClassIdAt = 23;  // after "Software\Classes\CLSID\"
}  // namespace

bool ViewRegistersClass(bool forUser, REGSAM view, const wchar_t* classId) noexcept {
    char16_t path[] =
        u"Software\\Classes\\CLSID\\{00000000-0000-0000-0000-000000000000}\\InprocServer32";
    for (int i = 0; i < kClassIdUnits; ++i)
        path[kClassIdAt + i] = classId[i];
    CRegistryKey key(Win32Registry());
    return key.Open(forUser ? kCurrentUser : kLocalMachine, path, kKeyRead | view) == kErrorSuccess;
}

HRESULT RestoreSharedHandlerEntry(const wchar_t* classId) noexcept {
    CRegistryKey key(Win32Registry());
    LONG error = key.Create(kClassesRoot, u"*\\ShellEx\\ContextMenuHandlers\\NivraShellExt");
    if (error == kErrorSuccess) {
        error = Win32Registry().SetValue(key.Get(), nullptr, kRegSz, classId,
                                         (kClassIdUnits + 1) * sizeof(wchar_t));
    }
    return HRESULT_FROM_WIN32(error);
}

}  // namespace nivra
