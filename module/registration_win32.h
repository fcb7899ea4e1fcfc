// Registration of the handler class: the variables of its registry script and the steps of
// DllRegisterServer and DllUnregisterServer.
#pragma once

#include <windows.h>

#include "registrar/registrar_base.h"

namespace nivra {

// The handler class's scripts (resources/registry.rc): the class, its program identifiers and
// the handler entry; the cloud files' opt-in; the approved-extensions list.
inline constexpr UINT kRegistryScriptResource = 100;
inline constexpr UINT kCloudFilesOptInResource = 101;
inline constexpr UINT kApprovedExtensionResource = 102;

// One replacement variable; a list ends with a null name.
struct ReplacementPair {
    const wchar_t* name;
    const wchar_t* value;
};

// Fills in the class's variables and runs its scripts in the chosen pass: registering runs
// them in order and stops at the first failure; unregistering runs them all backwards and
// returns the first failure. Per-user registration leaves out what belongs to the machine.
HRESULT UpdateHandlerRegistry(BOOL doRegister) noexcept;

// The module's own variables ("APPID", empty).
HRESULT AddCommonReplacements(IRegistrarBase& registrar) noexcept;

// Runs the script resource `number` (or `name`) of this library with `pairs`, the module's
// common variables and its own path as "Module" and "Module_Raw".
HRESULT RegisterFromScriptResource(UINT number, BOOL doRegister,
                                   const ReplacementPair* pairs) noexcept;
HRESULT RegisterFromNamedScriptResource(const wchar_t* name, BOOL doRegister,
                                        const ReplacementPair* pairs) noexcept;

// S_OK at once for a null list: the handler class declares no categories.
HRESULT RegisterClassCategories(const CLSID& classId, const void* categories,
                                BOOL doRegister) noexcept;

}  // namespace nivra
