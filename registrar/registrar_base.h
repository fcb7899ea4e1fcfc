// The registrar's interface as the module sees it: an unknown-like base (never counted, never
// handed out) and the two variable operations. No platform headers: the slot order is what
// matters.
#pragma once

#include <cstdint>

#include "common/result_codes.h"

namespace nivra {

class IUnknownLike {
  public:
    virtual HResult QueryInterface(const void* interfaceId, void** object) noexcept = 0;
    virtual std::uint32_t AddRef() noexcept = 0;
    virtual std::uint32_t Release() noexcept = 0;

  protected:
    ~IUnknownLike() = default;
};

class IRegistrarBase : public IUnknownLike {
  public:
    virtual HResult AddVariable(const char16_t* name, const char16_t* value) noexcept = 0;
    virtual HResult ClearVariables() noexcept = 0;
    virtual ~IRegistrarBase() = default;
};

}  // namespace nivra
