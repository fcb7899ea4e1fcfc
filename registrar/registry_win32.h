// The registry interface over advapi32.
#pragma once

#include "registrar/registry.h"

namespace nivra {

// The one process-wide instance; it holds no state.
IRegistry& Win32Registry() noexcept;

}  // namespace nivra
