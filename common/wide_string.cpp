#include "common/wide_string.h"

#include <cstring>
#include <utility>

#include "common/heap.h"

namespace nivra {

namespace {
constexpr std::size_t kMaxUnits = (static_cast<std::size_t>(-1) / sizeof(char16_t)) - 1;
}

std::size_t TextLength(const char16_t* text) noexcept {
    std::size_t length = 0;
    while (text[length] != u'\0')
        ++length;
    return length;
}

WideString::WideString(WideString&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      length_(std::exchange(other.length_, 0)),
      capacity_(std::exchange(other.capacity_, 0)) {}

WideString& WideString::operator=(WideString&& other) noexcept {
    if (this != &other) {
        Free();
        data_ = std::exchange(other.data_, nullptr);
        length_ = std::exchange(other.length_, 0);
        capacity_ = std::exchange(other.capacity_, 0);
    }
    return *this;
}

void WideString::Free() noexcept {
    MemFree(data_);
    data_ = nullptr;
    length_ = 0;
    capacity_ = 0;
}

HResult WideString::Reserve(std::size_t capacity) noexcept {
    if (data_ != nullptr && capacity <= capacity_)
        return kOk;
    if (capacity >= kMaxUnits)
        return kOutOfMemory;
    // Grow geometrically so that repeated appends stay linear.
    std::size_t grown = capacity_ + capacity_ / 2;
    if (grown > capacity && grown < kMaxUnits)
        capacity = grown;
    auto* block = static_cast<char16_t*>(MemReallocate(data_, (capacity + 1) * sizeof(char16_t)));
    if (block == nullptr)
        return kOutOfMemory;
    if (data_ == nullptr)
        block[0] = u'\0';
    data_ = block;
    capacity_ = capacity;
    return kOk;
}

HResult WideString::SetLength(std::size_t length) noexcept {
    if (data_ == nullptr ? length != 0 : length > capacity_)
        return kInvalidArg;
    if (data_ != nullptr)
        data_[length] = u'\0';
    length_ = length;
    return kOk;
}

void WideString::Truncate(std::size_t length) noexcept {
    if (length < length_) {
        data_[length] = u'\0';
        length_ = length;
    }
}

void WideString::Clear() noexcept {
    Truncate(0);
}

HResult WideString::Assign(const char16_t* text, std::size_t length) noexcept {
    if (length == 0) {
        Clear();
        return kOk;
    }
    // The source may live inside this string's own buffer.
    if (data_ != nullptr && text >= data_ && text <= data_ + capacity_) {
        std::memmove(data_, text, length * sizeof(char16_t));
        return SetLength(length);
    }
    NV_RETURN_IF_FAILED(Reserve(length));
    std::memcpy(data_, text, length * sizeof(char16_t));
    return SetLength(length);
}

HResult WideString::Assign(const char16_t* text) noexcept {
    return Assign(text, TextLength(text));
}

HResult WideString::Append(const char16_t* text, std::size_t length) noexcept {
    if (length == 0)
        return kOk;
    if (length > kMaxUnits - length_)
        return kOutOfMemory;
    if (data_ != nullptr && text >= data_ && text <= data_ + capacity_) {
        // Appending from itself: copy the source first so that growing cannot move it.
        WideString copy;
        NV_RETURN_IF_FAILED(copy.Assign(text, length));
        return Append(copy.Text(), length);
    }
    NV_RETURN_IF_FAILED(Reserve(length_ + length));
    std::memcpy(data_ + length_, text, length * sizeof(char16_t));
    return SetLength(length_ + length);
}

HResult WideString::Append(const char16_t* text) noexcept {
    return Append(text, TextLength(text));
}

HResult WideString::Append(const WideString& text) noexcept {
    return Append(text.Text(), text.Length());
}

std::size_t WideString::FindLast(char16_t unit) const noexcept {
    for (std::size_t i = length_; i > 0; --i) {
        if (data_[i - 1] == unit)
            return i - 1;
    }
    return npos;
}

}  // namespace nivra
