// The one C++ runtime function the DLL's code refers to: abstract classes' tables of virtual
// functions fill their pure slots with it. The shipped DLL links no C++ runtime (see
// CMakeLists.txt), so it is defined here. A call means an object was used while being built or
// torn down; the process stops at once, past any handler that might swallow it, and the crash
// report points here.
#include <windows.h>

extern "C" void __cxa_pure_virtual() {
    ::RaiseFailFastException(nullptr, nullptr, 0);
}
