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

// Holds objectMapLock, the one lock any operation of the library enters.
struct CComModuleRecord {
    CComModuleRecord() noexcept;
    ~CComModuleRecord();
    CComModuleRecord(const CComModuleRecord&) = delete;
    CComModuleRecord& operator=(const CComModuleRecord&) = delete;

    CRITICAL_SECTION objectMapLock;
    bool initialized;  // false when the lock could not be made (out of memory at load)
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
