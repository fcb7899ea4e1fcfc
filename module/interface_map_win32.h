// Table-driven QueryInterface over constant interface tables.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <cstdint>

namespace nivra {

inline constexpr DWORD kInterfaceAtOffset = 1;  // kind 0 ends a table

struct InterfaceMapEntry {
    const IID* iid;
    DWORD_PTR offset;  // of the interface pointer from the object's start
    DWORD kind;
};

// Offset of base `Interface` inside `Object`. Computed on a stand-in address, since the
// conversion must not see a null pointer.
template <class Object, class Interface>
DWORD_PTR OffsetOfInterface() noexcept {
    constexpr std::uintptr_t kStandIn = 0x1000;
    return reinterpret_cast<std::uintptr_t>(
               static_cast<Interface*>(reinterpret_cast<Object*>(kStandIn))) -
           kStandIn;
}

// E_INVALIDARG for a null object or table, E_POINTER for a null out-pointer; otherwise the
// out-pointer is nulled first. IUnknown is answered with the table's first entry. A found
// interface is AddRef'd through itself.
HRESULT QueryInterfaceFromTable(void* object, const InterfaceMapEntry* table, REFIID iid,
                                void** out) noexcept;

}  // namespace nivra
