// Per-user registration: HKEY_CLASSES_ROOT redirected to the user's own classes key
// (HKEY_CURRENT_USER\Software\Classes), so that the one registration script and engine write
// there instead of the machine's classes. Windows merges the user's classes into the classes
// that user's Explorer reads; no administrator rights are needed.
#pragma once

#include <windows.h>

#include "common/unique_any_win32.h"

namespace nivra {

// True while a UserClassesRedirect is in force: registration for the user alone, which writes
// nothing for the machine. Read under the registration lock only.
bool IsRegisteringForUser() noexcept;

// True for the DllInstall command line that asks for per-user registration: "user", in any
// letter case. Null, empty and every other text are false.
bool IsUserInstallCommand(const wchar_t* commandLine) noexcept;

// While it lives, this process's HKEY_CLASSES_ROOT stands for the user's classes key; the
// destructor puts the default back on every path. The override is process-wide (the registry
// has no per-thread one): other threads' own calls through HKEY_CLASSES_ROOT go to the user's
// classes too while it lives, so it lasts only for the one registration call, under the
// registration lock. The default is what comes back: an override the caller had set before is
// not restored, since Windows has no call that reports it.
class UserClassesRedirect {
  public:
    UserClassesRedirect() noexcept = default;
    ~UserClassesRedirect();
    UserClassesRedirect(const UserClassesRedirect&) = delete;
    UserClassesRedirect& operator=(const UserClassesRedirect&) = delete;

    // Opens (creating if needed) the user's classes key and redirects to it; on failure
    // nothing is redirected and the platform error is returned.
    HRESULT Begin() noexcept;

  private:
    UniqueKey userClasses_;
    bool redirected_ = false;
};

}  // namespace nivra
