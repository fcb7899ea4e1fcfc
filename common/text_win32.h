// The edge between the platform-free core (char16_t) and Win32 (wchar_t, 16 bits on Windows).
#pragma once

#include <windows.h>

#include "common/result_codes.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 is wchar_t on Windows");
static_assert(nivra::kOk == S_OK && nivra::kFalse == S_FALSE);
static_assert(nivra::kNotImpl == E_NOTIMPL && nivra::kNoInterface == E_NOINTERFACE);
static_assert(nivra::kPointer == E_POINTER && nivra::kFail == E_FAIL);
static_assert(nivra::kUnexpected == E_UNEXPECTED && nivra::kOutOfMemory == E_OUTOFMEMORY);
static_assert(nivra::kInvalidArg == E_INVALIDARG && nivra::kDispException == DISP_E_EXCEPTION);
static_assert(nivra::kClassNoAggregation == CLASS_E_NOAGGREGATION);
static_assert(nivra::kClassNotAvailable == CLASS_E_CLASSNOTAVAILABLE);
static_assert(nivra::kInsufficientBuffer == HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
static_assert(nivra::kFilenameTooLong == HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE));
static_assert(nivra::kCancelled == HRESULT_FROM_WIN32(ERROR_CANCELLED));

namespace nivra {

inline wchar_t* AsWide(char16_t* text) noexcept {
    return reinterpret_cast<wchar_t*>(text);
}
inline const wchar_t* AsWide(const char16_t* text) noexcept {
    return reinterpret_cast<const wchar_t*>(text);
}
inline char16_t* AsUtf16(wchar_t* text) noexcept {
    return reinterpret_cast<char16_t*>(text);
}
inline const char16_t* AsUtf16(const wchar_t* text) noexcept {
    return reinterpret_cast<const char16_t*>(text);
}

}  // namespace nivra
