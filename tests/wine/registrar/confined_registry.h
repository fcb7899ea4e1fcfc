// The Win32 registry adapter with every predefined root moved below a fresh test key of
// HKEY_CURRENT_USER, so scripts run against the real registry without touching anything else. The
// test key and everything beneath it are deleted when the object goes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "registrar/registry.h"

namespace nivra::testing {

class ConfinedRegistry final : public IRegistry {
  public:
    ConfinedRegistry();
    ~ConfinedRegistry();
    ConfinedRegistry(const ConfinedRegistry&) = delete;
    ConfinedRegistry& operator=(const ConfinedRegistry&) = delete;

    std::int32_t OpenKey(RegKey parent, const char16_t* subkey, std::uint32_t access,
                         RegKey* opened) noexcept override;
    std::int32_t CreateKey(RegKey parent, const char16_t* name, std::uint32_t access,
                           RegKey* created) noexcept override;
    std::int32_t CloseKey(RegKey key) noexcept override;
    std::int32_t SetValue(RegKey key, const char16_t* name, std::uint32_t type, const void* data,
                          std::uint32_t bytes) noexcept override;
    std::int32_t DeleteValue(RegKey key, const char16_t* name) noexcept override;
    std::int32_t DeleteKey(RegKey parent, const char16_t* name) noexcept override;
    std::int32_t EnumerateKey(RegKey key, std::uint32_t index, char16_t* name,
                              std::uint32_t* nameUnits) noexcept override;
    std::int32_t CountSubkeys(RegKey key, std::uint32_t* count) noexcept override;

    // The test key's path below HKEY_CURRENT_USER, e.g. to prove nothing lands outside it.
    const std::u16string& TestKeyPath() const { return testPath_; }
    // The same lines as MemoryRegistry::Dump, read from the real keys.
    std::vector<std::string> Dump() const;
    std::size_t Calls() const { return calls_; }
    std::size_t OpenHandles() const { return openHandles_; }

  private:
    RegKey Map(RegKey key) const noexcept;

    std::u16string testPath_;
    void* testKey_ = nullptr;
    void* roots_[7] = {};
    std::size_t calls_ = 0;
    std::size_t openHandles_ = 0;
};

}  // namespace nivra::testing
