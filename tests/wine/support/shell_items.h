// Item arrays as the shell makes them for the first-level menu: from parsing names, never
// from Unix paths (Wine's parser faults on those).
#pragma once

#include <windows.h>
#include <shobjidl.h>

#include <string>
#include <vector>

#include "common/com_ptr_win32.h"

namespace nivra::test {

// The shell's item array over `names` (X:\ paths or "::{...}" names); null when the shell
// cannot parse one of them. One name goes through SHCreateShellItemArrayFromShellItem, as a
// right-click on one file does.
ComPtr<IShellItemArray> ShellItems(const std::vector<std::wstring>& names);

}  // namespace nivra::test
