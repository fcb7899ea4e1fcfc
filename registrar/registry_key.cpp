#include "registrar/registry_key.h"

namespace nivra {

std::int32_t CRegistryKey::Open(RegKey parent, const char16_t* name,
                                std::uint32_t access) noexcept {
    RegKey opened = kNoKey;
    const std::int32_t error = registry_.OpenKey(parent, name, access, &opened);
    if (error != kErrorSuccess)
        return error;
    (void)Close();
    key_ = opened;
    return kErrorSuccess;
}

std::int32_t CRegistryKey::Create(RegKey parent, const char16_t* name) noexcept {
    RegKey created = kNoKey;
    const std::int32_t error = registry_.CreateKey(parent, name, kKeyReadWrite, &created);
    if (error != kErrorSuccess)
        return error;
    (void)Close();
    key_ = created;
    return kErrorSuccess;
}

std::int32_t CRegistryKey::Close() noexcept {
    const RegKey key = key_;
    key_ = kNoKey;
    // Opening a root with an empty subkey name hands back the root itself, which stays open.
    if (key == kNoKey || IsPredefinedKey(key))
        return kErrorSuccess;
    return registry_.CloseKey(key);
}

void CRegistryKey::Attach(RegKey key) noexcept {
    (void)Close();
    key_ = key;
}

RegKey CRegistryKey::Detach() noexcept {
    const RegKey key = key_;
    key_ = kNoKey;
    return key;
}

std::int32_t CRegistryKey::DeleteTree(const char16_t* name) noexcept {
    // An empty name opens the held key itself: its whole content would go.
    if (name == nullptr || *name == u'\0')
        return kErrorInvalidParameter;
    CRegistryKey subkey(registry_);
    std::int32_t error = subkey.Open(key_, name, kKeyReadWrite);
    if (error != kErrorSuccess)
        return error;
    char16_t child[kMaxKeyNameLength + 1];
    for (;;) {
        std::uint32_t units = kMaxKeyNameLength + 1;
        if (registry_.EnumerateKey(subkey.Get(), 0, child, &units) != kErrorSuccess)
            break;
        child[kMaxKeyNameLength] = u'\0';
        error = subkey.DeleteTree(child);
        if (error != kErrorSuccess)
            return error;
    }
    (void)subkey.Close();
    return registry_.DeleteKey(key_, name);
}

}  // namespace nivra
