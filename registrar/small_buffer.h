// A buffer that lives in the object up to a fixed size and comes from the allocation seam
// beyond it, so that the common small cases never allocate.
#pragma once

#include <cstddef>
#include <cstring>
#include <type_traits>

#include "common/heap.h"

namespace nivra {

template <typename T, std::size_t InlineCount>
class CSmallBuffer {
    static_assert(std::is_trivial_v<T>, "only plain data is held");

  public:
    CSmallBuffer() noexcept = default;
    ~CSmallBuffer() { Release(); }
    CSmallBuffer(const CSmallBuffer&) = delete;
    CSmallBuffer& operator=(const CSmallBuffer&) = delete;

    // Makes room for `count` elements, all zero; false when the memory cannot be had.
    [[nodiscard]] bool Allocate(std::size_t count) noexcept {
        Release();
        if (count > InlineCount) {
            if (count > static_cast<std::size_t>(-1) / sizeof(T))
                return false;
            void* block = MemAllocate(count * sizeof(T));
            if (block == nullptr)
                return false;
            data_ = static_cast<T*>(block);
        }
        std::memset(data_, 0, count * sizeof(T));
        return true;
    }

    T* Data() noexcept { return data_; }
    const T* Data() const noexcept { return data_; }

  private:
    void Release() noexcept {
        if (data_ != inline_)
            MemFree(data_);
        data_ = inline_;
    }

    T inline_[InlineCount] = {};
    T* data_ = inline_;
};

}  // namespace nivra
