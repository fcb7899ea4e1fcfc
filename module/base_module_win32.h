// The library's own module handle: its load address, which also serves as the module for its
// resources. Fixed at link time, so it holds before any code of the library runs.
#pragma once

#include <windows.h>

namespace nivra {

struct CBaseModule {
    HINSTANCE m_hInst;
    HINSTANCE m_hInstResource;
};

extern const CBaseModule g_baseModule;

}  // namespace nivra
