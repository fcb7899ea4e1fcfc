// An owned, always terminated UTF-16 string over the allocation seam. Operations that can run
// out of memory return kOutOfMemory and leave the string as it was; nothing throws.
#pragma once

#include <cstddef>

#include "common/result_codes.h"

namespace nivra {

// Length of a terminated UTF-16 text in units.
std::size_t TextLength(const char16_t* text) noexcept;

class WideString {
  public:
    WideString() noexcept = default;
    ~WideString() { Free(); }
    WideString(WideString&& other) noexcept;
    WideString& operator=(WideString&& other) noexcept;
    WideString(const WideString&) = delete;
    WideString& operator=(const WideString&) = delete;

    [[nodiscard]] HResult Assign(const char16_t* text, std::size_t length) noexcept;
    [[nodiscard]] HResult Assign(const char16_t* text) noexcept;
    [[nodiscard]] HResult Append(const char16_t* text, std::size_t length) noexcept;
    [[nodiscard]] HResult Append(const char16_t* text) noexcept;
    [[nodiscard]] HResult Append(const WideString& text) noexcept;

    // Makes room for `capacity` units plus a terminator; the content stays.
    [[nodiscard]] HResult Reserve(std::size_t capacity) noexcept;
    // Writable buffer of Capacity() + 1 units; null until something was reserved.
    char16_t* Buffer() noexcept { return data_; }
    std::size_t Capacity() const noexcept { return capacity_; }
    // Sets the length after the buffer was written, and terminates. A length beyond the
    // capacity gives kInvalidArg and changes nothing.
    [[nodiscard]] HResult SetLength(std::size_t length) noexcept;
    // Cuts to `length` units when shorter than now.
    void Truncate(std::size_t length) noexcept;
    void Clear() noexcept;

    // Never null: an empty string gives an empty terminated text.
    const char16_t* Text() const noexcept { return data_ != nullptr ? data_ : u""; }
    std::size_t Length() const noexcept { return length_; }
    bool IsEmpty() const noexcept { return length_ == 0; }

    // Index of the last `unit`, or npos.
    std::size_t FindLast(char16_t unit) const noexcept;
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

  private:
    void Free() noexcept;

    char16_t* data_ = nullptr;
    std::size_t length_ = 0;
    std::size_t capacity_ = 0;
};

}  // namespace nivra
