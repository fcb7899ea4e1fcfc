#include "menu_image/system_version_win32.h"

#include <windows.h>

#include <cstdint>

#include "menu_image/pixel_alpha.h"

namespace nivra {

namespace {
// 0 until known. Every thread computes the same value, so racing first queries only repeat
// the work.
std::uint32_t g_systemVersion = 0;
}  // namespace

bool IsVersion6OrLater() noexcept {
    if (g_systemVersion == 0) {
        OSVERSIONINFOEXW info = {};
        info.dwOSVersionInfoSize = sizeof(info);
        ::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info));
        g_systemVersion = VersionValue(info.dwMajorVersion, info.dwMinorVersion);
    }
    return IsVersionValue6OrLater(g_systemVersion);
}

}  // namespace nivra
