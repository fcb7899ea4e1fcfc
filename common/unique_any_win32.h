// Owners for Win32 handles: one move-only template, parameterised by a traits type that names
// the handle type, its invalid value and its close function.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <utility>

namespace nivra {

template <typename Traits>
class UniqueAny {
  public:
    using Type = typename Traits::Type;

    UniqueAny() noexcept = default;
    explicit UniqueAny(Type value) noexcept : value_(value) {}
    ~UniqueAny() { reset(); }
    UniqueAny(UniqueAny&& other) noexcept : value_(other.release()) {}
    UniqueAny& operator=(UniqueAny&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueAny(const UniqueAny&) = delete;
    UniqueAny& operator=(const UniqueAny&) = delete;

    Type get() const noexcept { return value_; }
    bool is_valid() const noexcept { return value_ != Traits::Invalid(); }
    // Frees the current value and returns the address for an out-parameter.
    Type* put() noexcept {
        reset();
        return &value_;
    }
    Type release() noexcept { return std::exchange(value_, Traits::Invalid()); }
    // Closing keeps the thread's last error, so a caller can still report the failure that
    // made it give the handle up.
    void reset(Type value = Traits::Invalid()) noexcept {
        const Type old = std::exchange(value_, value);
        if (old != Traits::Invalid()) {
            const DWORD lastError = ::GetLastError();
            Traits::Close(old);
            ::SetLastError(lastError);
        }
    }

  private:
    Type value_ = Traits::Invalid();
};

namespace traits {
template <typename T, auto CloseFunction>
struct NullInvalid {
    using Type = T;
    static constexpr Type Invalid() noexcept { return nullptr; }
    static void Close(Type value) noexcept { CloseFunction(value); }
};
}  // namespace traits

using UniqueHandle = UniqueAny<traits::NullInvalid<HANDLE, ::CloseHandle>>;
using UniqueModule = UniqueAny<traits::NullInvalid<HMODULE, ::FreeLibrary>>;
using UniqueIcon = UniqueAny<traits::NullInvalid<HICON, ::DestroyIcon>>;
using UniqueBitmap = UniqueAny<traits::NullInvalid<HBITMAP, ::DeleteObject>>;
using UniqueDc = UniqueAny<traits::NullInvalid<HDC, ::DeleteDC>>;
using UniqueKey = UniqueAny<traits::NullInvalid<HKEY, ::RegCloseKey>>;
// A string the shell allocated for us with CoTaskMemAlloc.
using UniqueCoTaskMemString = UniqueAny<traits::NullInvalid<wchar_t*, ::CoTaskMemFree>>;

namespace traits {
inline void ReleaseScreenDc(HDC dc) noexcept {
    ::ReleaseDC(nullptr, dc);
}
}  // namespace traits
// The screen's context from GetDC(nullptr), given back with ReleaseDC.
using UniqueScreenDc = UniqueAny<traits::NullInvalid<HDC, traits::ReleaseScreenDc>>;

// Selects an object into a context and puts the previous one back; a failed selection
// (no previous object) restores nothing.
class UniqueSelection {
  public:
    UniqueSelection(HDC dc, HGDIOBJ object) noexcept
        : dc_(dc), previous_(::SelectObject(dc, object)) {}
    ~UniqueSelection() {
        if (previous_ != nullptr && previous_ != HGDI_ERROR)
            ::SelectObject(dc_, previous_);
    }
    UniqueSelection(const UniqueSelection&) = delete;
    UniqueSelection& operator=(const UniqueSelection&) = delete;

    bool is_valid() const noexcept { return previous_ != nullptr && previous_ != HGDI_ERROR; }

  private:
    HDC dc_;
    HGDIOBJ previous_;
};

// Holds a GlobalLock and ends it.
class UniqueGlobalLock {
  public:
    explicit UniqueGlobalLock(HGLOBAL memory) noexcept
        : memory_(memory), data_(memory != nullptr ? ::GlobalLock(memory) : nullptr) {}
    ~UniqueGlobalLock() {
        if (data_ != nullptr)
            ::GlobalUnlock(memory_);
    }
    UniqueGlobalLock(const UniqueGlobalLock&) = delete;
    UniqueGlobalLock& operator=(const UniqueGlobalLock&) = delete;

    void* get() const noexcept { return data_; }

  private:
    HGLOBAL memory_;
    void* data_;
};

// Owns a storage medium filled by IDataObject::GetData.
class UniqueStgMedium {
  public:
    UniqueStgMedium() noexcept = default;
    ~UniqueStgMedium() { reset(); }
    UniqueStgMedium(const UniqueStgMedium&) = delete;
    UniqueStgMedium& operator=(const UniqueStgMedium&) = delete;

    STGMEDIUM& get() noexcept { return medium_; }
    // Marks the medium as filled; until then nothing is released.
    STGMEDIUM* put() noexcept {
        reset();
        filled_ = true;
        return &medium_;
    }
    void abandon() noexcept { filled_ = false; }
    void reset() noexcept;

  private:
    STGMEDIUM medium_ = {};
    bool filled_ = false;
};

}  // namespace nivra
