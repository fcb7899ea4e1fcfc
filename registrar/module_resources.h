// What the registrar needs of the platform to get a script out of a module file: load the file
// as data, find and load a resource, convert 8-bit text in the thread's ANSI code page, and
// the last error. A Win32 adapter implements it over kernel32; tests use a fake.
#pragma once

#include <cstdint>

namespace nivra {

// A resource is named either by text or by a 16-bit number (when `name` is null).
struct ResourceId {
    const char16_t* name;
    std::uint16_t number;
};

class IModuleResources {
  public:
    // Null on failure (see LastError).
    virtual void* LoadDataModule(const char16_t* path) noexcept = 0;
    virtual void ReleaseModule(void* module) noexcept = 0;
    // Null on failure.
    virtual void* FindScriptResource(void* module, const char16_t* type,
                                     ResourceId id) noexcept = 0;
    // False on failure; the bytes stay valid until the module is freed.
    virtual bool LoadResourceBytes(void* module, void* resource, const void** bytes,
                                   std::uint32_t* size) noexcept = 0;
    // Characters written into `destination` (at most `room`), 0 on failure.
    virtual std::uint32_t ConvertAnsi(const char* bytes, std::uint32_t size, char16_t* destination,
                                      std::uint32_t room) noexcept = 0;
    virtual std::uint32_t LastError() noexcept = 0;

  protected:
    ~IModuleResources() = default;
};

}  // namespace nivra
