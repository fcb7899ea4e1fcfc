// An owned registry handle, or none. Opening or creating replaces the held key only on success;
// a handle that the owner does not own (a block's parent) can be attached for one call and
// detached before it would be closed.
#pragma once

#include <cstdint>

#include "registrar/registry.h"

namespace nivra {

class CRegistryKey {
  public:
    explicit CRegistryKey(IRegistry& registry) noexcept : registry_(registry) {}
    ~CRegistryKey() { (void)Close(); }
    CRegistryKey(const CRegistryKey&) = delete;
    CRegistryKey& operator=(const CRegistryKey&) = delete;

    std::int32_t Open(RegKey parent, const char16_t* name, std::uint32_t access) noexcept;
    std::int32_t Create(RegKey parent, const char16_t* name) noexcept;
    // Harmless when nothing is held; a predefined root is never closed.
    std::int32_t Close() noexcept;

    void Attach(RegKey key) noexcept;
    RegKey Detach() noexcept;
    RegKey Get() const noexcept { return key_; }

    // Deletes the named subkey of the held key with everything beneath it.
    std::int32_t DeleteTree(const char16_t* name) noexcept;

  private:
    IRegistry& registry_;
    RegKey key_ = kNoKey;
};

}  // namespace nivra
