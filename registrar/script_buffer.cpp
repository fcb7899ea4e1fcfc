#include "registrar/script_buffer.h"

#include <cstring>

#include "common/heap.h"

namespace nivra {

namespace {
constexpr std::size_t kMaxUnits = static_cast<std::size_t>(-1) / sizeof(char16_t);
}

CScriptBuffer::~CScriptBuffer() {
    MemFree(data_);
}

HResult CScriptBuffer::Init(std::size_t scriptLength) noexcept {
    MemFree(data_);
    data_ = nullptr;
    capacity_ = 0;
    used_ = 0;
    // Twice the length must still be a byte count the platform can express.
    if (scriptLength > kMaxUnits / 2)
        return kOutOfMemory;
    std::size_t capacity = scriptLength * 2;
    if (capacity < 100)
        capacity = 1000;
    data_ = static_cast<char16_t*>(MemAllocate(capacity * sizeof(char16_t)));
    if (data_ == nullptr)
        return kOutOfMemory;
    capacity_ = capacity;
    data_[0] = u'\0';
    return kOk;
}

HResult CScriptBuffer::Append(const char16_t* text, std::size_t units) noexcept {
    if (data_ == nullptr)
        return kOutOfMemory;
    if (units > kMaxUnits - used_ - 1)
        return kOutOfMemory;
    std::size_t capacity = capacity_;
    while (used_ + units + 1 >= capacity) {
        if (capacity > kMaxDoublingCapacity)
            return kOutOfMemory;
        capacity *= 2;
    }
    if (capacity != capacity_) {
        void* grown = MemReallocate(data_, capacity * sizeof(char16_t));
        if (grown == nullptr)
            return kOutOfMemory;
        data_ = static_cast<char16_t*>(grown);
        capacity_ = capacity;
    }
    std::memcpy(data_ + used_, text, units * sizeof(char16_t));
    used_ += units;
    data_[used_] = u'\0';
    return kOk;
}

char16_t* CScriptBuffer::Detach() noexcept {
    char16_t* data = data_;
    data_ = nullptr;
    capacity_ = 0;
    used_ = 0;
    return data;
}

}  // namespace nivra
