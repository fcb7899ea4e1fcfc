// Starting the document application: the one launch that every front end of the command uses.
#pragma once

#include <windows.h>

#include <cstddef>

#include "common/result_codes.h"

namespace nivra {

// How a failed start is told to the user: a message box owned by `owner` (null for none) with
// `extraStyle` added, or nothing when `allowed` is false (the caller asked for no UI).
struct StartFailureNotice {
    HWND owner;
    UINT extraStyle;
    bool allowed;
};

// Starts "Nivra.exe" beside this library with nivra -create "<file>" and lets it run on its
// own: S_OK. S_OK too when this library's folder is unknown, which starts nothing. A start that
// fails (the application missing, access denied, a command line longer than the system takes)
// is HRESULT_FROM_WIN32 of its error; when `notice` allows it, the user is told once and the
// result is HRESULT_FROM_WIN32(ERROR_CANCELLED) instead. E_OUTOFMEMORY, having started
// nothing.
[[nodiscard]] HResult StartDocumentApplication(const char16_t* file, std::size_t length,
                                               const StartFailureNotice& notice) noexcept;

}  // namespace nivra
