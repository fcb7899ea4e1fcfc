// The explorer command object: the explorer command class in the library's object wrapper.
#pragma once

#include <windows.h>

#include "handler/explorer_command_win32.h"
#include "module/com_object_win32.h"

namespace nivra {

template <>
const InterfaceMapEntry* InterfaceTable<CNivraExplorerCommand>() noexcept;

// Makes a new explorer command object and queries it for `iid`; no aggregation.
HRESULT CreateExplorerCommandObject(void* outer, REFIID iid, void** out) noexcept;

}  // namespace nivra
