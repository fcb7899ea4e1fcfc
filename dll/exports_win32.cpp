// The library's exports and entry point.
#include <windows.h>

#include "module/com_module_win32.h"
#include "module/registration_win32.h"
#include "module/user_classes_win32.h"

namespace {

// Each class: its script, then its categories; the first failure is the result.
HRESULT RegisterClasses() noexcept {
    for (nivra::ClassMapEntry* entry = nivra::g_classObjectMap; entry->classId != nullptr;
         ++entry) {
        HRESULT hr = entry->updateRegistry(TRUE);
        if (FAILED(hr))
            return hr;
        hr = nivra::RegisterClassCategories(*entry->classId, entry->getCategoryMap(), TRUE);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

// Each class: its categories, then its script.
HRESULT UnregisterClasses() noexcept {
    for (nivra::ClassMapEntry* entry = nivra::g_classObjectMap; entry->classId != nullptr;
         ++entry) {
        HRESULT hr =
            nivra::RegisterClassCategories(*entry->classId, entry->getCategoryMap(), FALSE);
        if (FAILED(hr))
            return hr;
        hr = entry->updateRegistry(FALSE);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

}  // namespace

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
STDAPI DllCanUnloadNow() {
    return nivra::g_module.m_nLockCnt == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer() {
    const nivra::RegistrationLock lock;
    return lock.held() ? RegisterClasses() : E_UNEXPECTED;
}

STDAPI DllUnregisterServer() {
    const nivra::RegistrationLock lock;
    return lock.held() ? UnregisterClasses() : E_UNEXPECTED;
}

// Per-user registration (regsvr32 /n /i:user, with /u to remove): exactly the entries of
// DllRegisterServer or DllUnregisterServer, under the user's own classes. Nothing under
// HKEY_LOCAL_MACHINE is opened for writing. Any command line but "user" is E_INVALIDARG.
// While it runs, HKEY_CLASSES_ROOT stands for the user's classes in the whole process: the
// other threads' own calls through it go there too (registration of this library waits for
// it). Afterwards the root is the default again; an override the caller had set before is
// not restored, since Windows cannot report one.
STDAPI DllInstall(BOOL install, LPCWSTR commandLine) {
    if (!nivra::IsUserInstallCommand(commandLine))
        return E_INVALIDARG;
    const nivra::RegistrationLock lock;
    if (!lock.held())
        return E_UNEXPECTED;
    nivra::UserClassesRedirect userClasses;
    const HRESULT hr = userClasses.Begin();
    if (FAILED(hr))
        return hr;
    return install ? RegisterClasses() : UnregisterClasses();
}

}  // extern "C"
