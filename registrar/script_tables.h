// The fixed name tables of the script language: root keys, value-type letters and the key
// names that "ForceRemove" and "Delete" never delete. All comparisons are case-blind.
#pragma once

#include "registrar/registry.h"

namespace nivra {

enum class ScriptValueType { kNone, kString, kMultiString, kDword, kBinary };

// The predefined key of a root name such as "HKCR" or "HKEY_CLASSES_ROOT", or kNoKey.
RegKey RootKeyFromName(const char16_t* token) noexcept;
ScriptValueType ValueTypeFromLetter(const char16_t* token) noexcept;
bool IsProtectedKeyName(const char16_t* name) noexcept;

}  // namespace nivra
