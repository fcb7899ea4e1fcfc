// The registry as the script interpreter sees it: a small table of key and value operations
// over opaque handles. Results are platform error codes (0 success, 2 not found). A Win32
// implementation sits on advapi32; tests use an in-memory one.
#pragma once

#include <cstdint>

namespace nivra {

using RegKey = std::uintptr_t;
inline constexpr RegKey kNoKey = 0;

// The predefined roots keep the platform's handle values (sign-extended where handles are
// wider than 32 bits); they are always open and never closed.
inline constexpr RegKey PredefinedKey(std::uint32_t value) noexcept {
    return static_cast<RegKey>(static_cast<std::intptr_t>(static_cast<std::int32_t>(value)));
}
inline constexpr RegKey kClassesRoot = PredefinedKey(0x80000000u);
inline constexpr RegKey kCurrentUser = PredefinedKey(0x80000001u);
inline constexpr RegKey kLocalMachine = PredefinedKey(0x80000002u);
inline constexpr RegKey kUsers = PredefinedKey(0x80000003u);
inline constexpr RegKey kPerformanceData = PredefinedKey(0x80000004u);
inline constexpr RegKey kCurrentConfig = PredefinedKey(0x80000005u);
inline constexpr RegKey kDynData = PredefinedKey(0x80000006u);

inline constexpr bool IsPredefinedKey(RegKey key) noexcept {
    return key >= kClassesRoot && key <= kDynData;
}

inline constexpr std::uint32_t kKeyQueryValue = 0x0001;
inline constexpr std::uint32_t kKeySetValue = 0x0002;
inline constexpr std::uint32_t kKeyCreateSubKey = 0x0004;
inline constexpr std::uint32_t kKeyEnumerateSubKeys = 0x0008;
inline constexpr std::uint32_t kKeyRead = 0x20019;
inline constexpr std::uint32_t kKeyWrite = 0x20006;
inline constexpr std::uint32_t kKeyReadWrite = kKeyRead | kKeyWrite;  // 0x2001F

inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegMultiSz = 7;

inline constexpr std::int32_t kErrorSuccess = 0;
inline constexpr std::int32_t kErrorFileNotFound = 2;
inline constexpr std::int32_t kErrorAccessDenied = 5;
inline constexpr std::int32_t kErrorInvalidHandle = 6;
inline constexpr std::int32_t kErrorOutOfMemory = 14;
inline constexpr std::int32_t kErrorInvalidParameter = 87;
inline constexpr std::int32_t kErrorMoreData = 234;
inline constexpr std::int32_t kErrorNoMoreItems = 259;

// Longest key name the enumeration buffer takes, without its terminator.
inline constexpr std::uint32_t kMaxKeyNameLength = 255;

class IRegistry {
  public:
    // `subkey` null or empty opens `parent` itself again.
    virtual std::int32_t OpenKey(RegKey parent, const char16_t* subkey, std::uint32_t access,
                                 RegKey* opened) noexcept = 0;
    // Non-volatile, no class, no security attributes; an existing key is opened.
    virtual std::int32_t CreateKey(RegKey parent, const char16_t* name, std::uint32_t access,
                                   RegKey* created) noexcept = 0;
    virtual std::int32_t CloseKey(RegKey key) noexcept = 0;
    // `name` null is the key's default value.
    virtual std::int32_t SetValue(RegKey key, const char16_t* name, std::uint32_t type,
                                  const void* data, std::uint32_t bytes) noexcept = 0;
    virtual std::int32_t DeleteValue(RegKey key, const char16_t* name) noexcept = 0;
    // Removes a subkey that has no subkeys of its own, with its values.
    virtual std::int32_t DeleteKey(RegKey parent, const char16_t* name) noexcept = 0;
    // `nameUnits` holds the buffer's size in units on entry and the name's length on success.
    virtual std::int32_t EnumerateKey(RegKey key, std::uint32_t index, char16_t* name,
                                      std::uint32_t* nameUnits) noexcept = 0;
    virtual std::int32_t CountSubkeys(RegKey key, std::uint32_t* count) noexcept = 0;

  protected:
    ~IRegistry() = default;
};

}  // namespace nivra
