#include "module/interface_map_win32.h"

#include <cstring>

namespace nivra {

namespace {
bool SameId(const IID& a, const IID& b) noexcept {
    return std::memcmp(&a, &b, sizeof(IID)) == 0;
}

HRESULT Hand(void* object, const InterfaceMapEntry& entry, void** out) noexcept {
    auto* unknown = reinterpret_cast<IUnknown*>(static_cast<char*>(object) + entry.offset);
    unknown->AddRef();
    *out = unknown;
    return S_OK;
}
}  // namespace

HRESULT QueryInterfaceFromTable(void* object, const InterfaceMapEntry* table, REFIID iid,
                                void** out) noexcept {
    if (object == nullptr || table == nullptr)
        return E_INVALIDARG;
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    if (SameId(iid, IID_IUnknown))
        return Hand(object, table[0], out);
    for (const InterfaceMapEntry* entry = table; entry->kind != 0; ++entry) {
        if (SameId(iid, *entry->iid))
            return Hand(object, *entry, out);
    }
    return E_NOINTERFACE;
}

}  // namespace nivra
