// The host's right-click as Windows 11's first-level menu makes it.
#pragma once

#include <string>

namespace nivra::host {

// Loads the DLL at `dllPath` (the one registered as the handler), creates its explorer command
// through DllGetClassObject (the package, not regsvr32, declares that class), asks it about
// `file` as the first level does, prints the answers, saves the resolved icon to `png` when
// given, and invokes the command when it is shown. Returns the process exit code.
int FirstLevelRightClick(const std::wstring& dllPath, const std::wstring& file,
                         const std::wstring& png);

}  // namespace nivra::host
