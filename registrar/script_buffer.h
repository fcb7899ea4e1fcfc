// The growing UTF-16 buffer that receives the expanded script. It is always terminated; its
// block comes from the allocation seam and can be handed to the caller, who frees it.
#pragma once

#include <cstddef>

#include "common/result_codes.h"

namespace nivra {

class CScriptBuffer {
  public:
    // Beyond this capacity in characters the buffer does not double any more.
    static constexpr std::size_t kMaxDoublingCapacity = 0x3FFFFFFF;

    CScriptBuffer() noexcept = default;
    ~CScriptBuffer();
    CScriptBuffer(const CScriptBuffer&) = delete;
    CScriptBuffer& operator=(const CScriptBuffer&) = delete;

    // First capacity: twice the script length, or 1000 characters when that is below 100.
    [[nodiscard]] HResult Init(std::size_t scriptLength) noexcept;
    [[nodiscard]] HResult Append(const char16_t* text, std::size_t units) noexcept;

    const char16_t* Text() const noexcept { return data_ != nullptr ? data_ : u""; }
    std::size_t Length() const noexcept { return used_; }
    std::size_t Capacity() const noexcept { return capacity_; }
    // Hands the block over (null when nothing was allocated); the buffer is empty afterwards.
    char16_t* Detach() noexcept;

  private:
    char16_t* data_ = nullptr;
    std::size_t capacity_ = 0;
    std::size_t used_ = 0;
};

}  // namespace nivra
