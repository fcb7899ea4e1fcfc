// Result codes of the whole system, as their numeric values. The platform-free code uses these
// names; the Win32 layer checks them against <windows.h> in result_codes_win32.h.
#pragma once

#include <cstdint>

namespace nivra {

using HResult = std::int32_t;

inline constexpr HResult kOk = 0;                                          // S_OK
inline constexpr HResult kFalse = 1;                                       // S_FALSE
inline constexpr HResult kNotImpl = static_cast<HResult>(0x80004001);      // E_NOTIMPL
inline constexpr HResult kNoInterface = static_cast<HResult>(0x80004002);  // E_NOINTERFACE
inline constexpr HResult kPointer = static_cast<HResult>(0x80004003);      // E_POINTER
inline constexpr HResult kFail = static_cast<HResult>(0x80004005);         // E_FAIL
inline constexpr HResult kUnexpected = static_cast<HResult>(0x8000FFFF);   // E_UNEXPECTED
inline constexpr HResult kOutOfMemory = static_cast<HResult>(0x8007000E);  // E_OUTOFMEMORY
inline constexpr HResult kInvalidArg = static_cast<HResult>(0x80070057);   // E_INVALIDARG
inline constexpr HResult kInsufficientBuffer = static_cast<HResult>(0x8007007A);
// HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE): what Windows gives for a command line too long.
inline constexpr HResult kFilenameTooLong = static_cast<HResult>(0x800700CE);
// HRESULT_FROM_WIN32(ERROR_CANCELLED): the shell's "the user has been told".
inline constexpr HResult kCancelled = static_cast<HResult>(0x800704C7);
inline constexpr HResult kDispException = static_cast<HResult>(0x80020009);  // DISP_E_EXCEPTION
inline constexpr HResult kClassNoAggregation = static_cast<HResult>(0x80040110);
inline constexpr HResult kClassNotAvailable = static_cast<HResult>(0x80040111);

inline constexpr bool Failed(HResult hr) noexcept {
    return hr < 0;
}
inline constexpr bool Succeeded(HResult hr) noexcept {
    return hr >= 0;
}

// A platform error code above 0 becomes 0x8007xxxx with its low 16 bits; 0 and below pass.
inline constexpr HResult HResultFromWin32(std::int32_t error) noexcept {
    return error <= 0
               ? error
               : static_cast<HResult>((static_cast<std::uint32_t>(error) & 0xFFFFu) | 0x80070000u);
}

// Accepts only result values, so a bool or a pointer cannot slip into NV_RETURN_IF_FAILED.
inline constexpr HResult CheckedResult(HResult hr) noexcept {
    return hr;
}
#if defined(_WIN32)
inline constexpr HResult CheckedResult(long hr) noexcept {
    return static_cast<HResult>(hr);
}
#endif
HResult CheckedResult(bool) = delete;

}  // namespace nivra

#define NV_RETURN_IF_FAILED(expr)                                    \
    do {                                                             \
        const ::nivra::HResult nvHr_ = ::nivra::CheckedResult(expr); \
        if (::nivra::Failed(nvHr_))                                  \
            return nvHr_;                                            \
    } while (0)
