// Script resources of a module file over kernel32: the file loaded as data, its resource
// table, and the conversion in the calling thread's ANSI code page.
#pragma once

#include "registrar/module_resources.h"

namespace nivra {

// The one process-wide instance; it holds no state.
IModuleResources& Win32ModuleResources() noexcept;

}  // namespace nivra
