// The library's exports and entry point.
#include <windows.h>

#include "module/com_module_win32.h"
#include "module/registration_win32.h"

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

// Each class: its script, then its categories; the first failure is the result.
STDAPI DllRegisterServer() {
    for (nivra::ClassMapEntry* entry = nivra::g_classObjectMap; entry->classId != nullptr;
         ++entry) {
        HRESULT hr = entry->updateRegistry(TRUE);
        if (FAILED(hr)) return hr;
        hr = nivra::RegisterClassCategories(*entry->classId, entry->getCategoryMap(), TRUE);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

// Each class: its categories, then its script.
STDAPI DllUnregisterServer() {
    for (nivra::ClassMapEntry* entry = nivra::g_classObjectMap; entry->classId != nullptr;
         ++entry) {
        HRESULT hr = nivra::RegisterClassCategories(*entry->classId, entry->getCategoryMap(), FALSE);
        if (FAILED(hr)) return hr;
        hr = entry->updateRegistry(FALSE);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

}  // extern "C"
