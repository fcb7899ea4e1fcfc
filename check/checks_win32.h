// Everything the check reads, in the order it is reported: Windows and its menus, the
// registration in each registry view and scope, what lies beside each registered DLL, the
// policies, the Windows 11 package and the running Explorer. It changes nothing.
#pragma once

#include <windows.h>

#include "check/report.h"

namespace nivra {

// Adds the findings to `report`; fails only with E_OUTOFMEMORY.
HRESULT RunChecks(CheckReport& report) noexcept;

}  // namespace nivra
