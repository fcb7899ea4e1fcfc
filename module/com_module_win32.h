// The module's process-wide objects: the lock count, the class table with its cached
// factories, and the lock that guards their creation.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace nivra {

// Creation functions share one form so that the class table can hold both kinds.
using CreatorFunction = HRESULT (*)(void* argument, REFIID iid, void** out);

struct ClassMapEntry {
    const CLSID* classId;  // null ends the table
    HRESULT (*updateRegistry)(BOOL doRegister);
    CreatorFunction createClassObject;
    CreatorFunction createInstance;
    IUnknown* cachedFactory;  // one reference, owned; filled on first request
    DWORD registerCookie;
    const wchar_t* (*getDescription)();
    const void* (*getCategoryMap)();
    void (*classInit)(bool starting);
};

extern ClassMapEntry g_classObjectMap[];

// Holds objectMapLock, the lock that guards the class table's factories, and registrationLock,
// which registration alone enters. Both are made during the library's start-up, which the
// loader allows for critical sections (also on Windows XP, which has no one-time init).
struct CComModuleRecord {
    CComModuleRecord() noexcept;
    ~CComModuleRecord();
    CComModuleRecord(const CComModuleRecord&) = delete;
    CComModuleRecord& operator=(const CComModuleRecord&) = delete;

    CRITICAL_SECTION objectMapLock;
    CRITICAL_SECTION registrationLock;
    bool initialized;  // false when a lock could not be made (out of memory at load)
};

// Holds registrationLock while it lives: DllRegisterServer, DllUnregisterServer and DllInstall
// run one at a time in the process, since DllInstall redirects HKEY_CLASSES_ROOT for the whole
// process while it runs.
class RegistrationLock {
  public:
    RegistrationLock() noexcept;
    ~RegistrationLock();
    RegistrationLock(const RegistrationLock&) = delete;
    RegistrationLock& operator=(const RegistrationLock&) = delete;

    // False when the lock could not be made at load: register nothing then.
    bool held() const noexcept { return held_; }

  private:
    bool held_;
};

extern CComModuleRecord g_comModule;

class CComModule {
  public:
    CComModule() noexcept;
    virtual ~CComModule() = default;
    CComModule(const CComModule&) = delete;
    CComModule& operator=(const CComModule&) = delete;

    // Atomic; return the new count.
    virtual LONG LockModule() noexcept { return ::InterlockedIncrement(&m_nLockCnt); }
    virtual LONG UnlockModule() noexcept { return ::InterlockedDecrement(&m_nLockCnt); }
    virtual LONG GetModuleLockCount() noexcept { return m_nLockCnt; }

    // Live handler objects, plus 1 while any client holds the factory, plus the balance of
    // LockServer calls.
    volatile LONG m_nLockCnt = 0;
    ClassMapEntry* m_classMap = nullptr;
};

extern CComModule g_module;
// What the objects reach the module through; set by the module object itself.
extern CComModule* g_modulePointer;

// Records the class table and starts each class. Cannot fail.
void InitializeModule() noexcept;
// Releases each cached factory and stops each class.
void TerminateModule() noexcept;
// The body of DllGetClassObject.
HRESULT FindClassObject(REFCLSID classId, REFIID iid, void** out) noexcept;

}  // namespace nivra
