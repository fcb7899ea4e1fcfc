#include "module/user_classes_win32.h"

namespace nivra {

namespace {
bool g_registeringForUser = false;
}  // namespace

bool IsRegisteringForUser() noexcept {
    return g_registeringForUser;
}

bool IsUserInstallCommand(const wchar_t* commandLine) noexcept {
    // Installers and people type /i:user, /i:User or /i:USER; all mean the same.
    return commandLine != nullptr && ::lstrcmpiW(commandLine, L"user") == 0;
}

UserClassesRedirect::~UserClassesRedirect() {
    // Restore before the key closes, so HKEY_CLASSES_ROOT never names a closed handle.
    if (redirected_) {
        g_registeringForUser = false;
        ::RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    }
}

HRESULT UserClassesRedirect::Begin() noexcept {
    // The script's register pass creates keys below the root and its unregister pass deletes
    // them, so the root handle needs both reading and writing.
    LONG error = ::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr,
                                   REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr,
                                   userClasses_.put(), nullptr);
    if (error != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(error);
    error = ::RegOverridePredefKey(HKEY_CLASSES_ROOT, userClasses_.get());
    if (error != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(error);
    redirected_ = true;
    g_registeringForUser = true;
    return S_OK;
}

}  // namespace nivra
