// On 64-bit Windows HKEY_CLASSES_ROOT\CLSID is kept per registry view, so the x64 and the x86
// DLL register their classes side by side; the handler entry under
// HKEY_CLASSES_ROOT\*\ShellEx\ContextMenuHandlers is one key for both views.
#pragma once

#include <windows.h>

namespace nivra {

// The other architecture's registry view. 32-bit Windows ignores the flag: there it names the
// one view there is.
#ifdef _WIN64
inline constexpr REGSAM kOtherRegistryView = KEY_WOW64_32KEY;
#else
inline constexpr REGSAM kOtherRegistryView = KEY_WOW64_64KEY;
#endif

// True when the class (`classId` in braces, 38 units) has its InprocServer32 key in `view` of
// the classes of one scope: the machine's (HKEY_LOCAL_MACHINE\Software\Classes) or, with
// `forUser`, the user's (HKEY_CURRENT_USER\Software\Classes). Read there rather than through
// HKEY_CLASSES_ROOT, which merges both scopes on Windows and which Wine's registry answers
// from the machine's classes for another view even while it is overridden.
bool ViewRegistersClass(bool forUser, REGSAM view, const wchar_t* classId) noexcept;

// Writes the handler entry, with the class identifier (38 units) as its default value, under
// HKEY_CLASSES_ROOT again; the registry's error as a result.
HRESULT RestoreSharedHandlerEntry(const wchar_t* classId) noexcept;

}  // namespace nivra
