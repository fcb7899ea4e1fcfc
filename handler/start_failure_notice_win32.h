// Telling the user that the document application did not start.
#pragma once

#include <windows.h>

#include "common/result_codes.h"
#include "common/wide_string.h"
#include "handler/launch_command_win32.h"

namespace nivra {

// Shows, in the interface language, a message box that names `application` and the system's
// text for `error`. S_OK once the user has closed it; E_FAIL when no box could be shown (no
// desktop); E_OUTOFMEMORY, showing nothing.
[[nodiscard]] HResult TellStartFailure(const StartFailureNotice& notice,
                                       const WideString& application, DWORD error) noexcept;

}  // namespace nivra
