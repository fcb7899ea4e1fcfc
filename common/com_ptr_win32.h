// One owned COM reference; nothrow, no implicit conversion to the raw pointer.
#pragma once

#include <unknwn.h>

#include <utility>

namespace nivra {

template <class T>
class ComPtr {
  public:
    ComPtr() noexcept = default;
    // Takes over a reference the caller already owns.
    explicit ComPtr(T* pointer) noexcept : pointer_(pointer) {}
    ~ComPtr() { reset(); }
    ComPtr(ComPtr&& other) noexcept : pointer_(other.release()) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    T* get() const noexcept { return pointer_; }
    // Releases the current reference and returns the address for an out-parameter.
    T** put() noexcept {
        reset();
        return &pointer_;
    }
    T* release() noexcept { return std::exchange(pointer_, nullptr); }
    void reset(T* pointer = nullptr) noexcept {
        if (T* old = std::exchange(pointer_, pointer))
            old->Release();
    }

  private:
    T* pointer_ = nullptr;
};

}  // namespace nivra
