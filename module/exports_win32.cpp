// The library's exports and entry point.
#include <windows.h>

#include "module/com_module_win32.h"

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        nivra::InitializeModule();
        ::DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH) {
        nivra::TerminateModule();
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID classId, REFIID iid, LPVOID* out) {
    return nivra::FindClassObject(classId, iid, out);
}

// Only the lock count decides: a factory held by the cache alone does not keep us loaded.
STDAPI DllCanUnloadNow() { return nivra::g_module.m_nLockCnt == 0 ? S_OK : S_FALSE; }

}  // extern "C"
