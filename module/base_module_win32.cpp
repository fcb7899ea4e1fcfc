#include "module/base_module_win32.h"

// The linker's symbol for the first byte of the image this code is linked into.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace nivra {

const CBaseModule g_baseModule = {reinterpret_cast<HINSTANCE>(&__ImageBase),
                                  reinterpret_cast<HINSTANCE>(&__ImageBase)};

}  // namespace nivra
