// The handler object: the handler class in the library's object wrapper.
#pragma once

#include <windows.h>

#include "handler/shell_ext_win32.h"
#include "module/com_object_win32.h"

namespace nivra {

template <>
const InterfaceMapEntry* InterfaceTable<CNivraShellExt>() noexcept;

// Makes a new handler object and queries it for `iid`; aggregation is never supported.
HRESULT CreateHandlerObject(void* outer, REFIID iid, void** out) noexcept;

}  // namespace nivra
