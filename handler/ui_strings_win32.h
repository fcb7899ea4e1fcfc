// Localised texts and the library's folder, from the library's own module.
#pragma once

#include <windows.h>

#include <cstdint>

#include "common/result_codes.h"
#include "common/wide_string.h"

namespace nivra {

inline constexpr UINT kMenuTextId = 200;
inline constexpr UINT kHelpTextId = 201;
// The message for a failed start: what happened, then what the user can do.
inline constexpr UINT kStartFailedTextId = 202;
inline constexpr UINT kStartFailedAdviceId = 203;

// The interface language, -1 until the first LoadUiString of the process decides it.
extern std::int32_t g_uiLangId;

// The library's full path, however long; empty when it cannot be obtained. Fails only with
// E_OUTOFMEMORY.
[[nodiscard]] HResult GetModulePath(WideString& path) noexcept;

// The library's folder ending in a backslash; empty when its path cannot be obtained.
// Fails only with E_OUTOFMEMORY.
[[nodiscard]] HResult GetModuleDirectory(WideString& directory) noexcept;

// The interface language (1033 or 1063) that a copy of this library in `directory` (ending in
// a backslash) decides, from the settings beside it, as LoadUiString decides it.
std::int32_t DecideLanguageIn(const WideString& directory) noexcept;

// String `id` of `module` in exactly `language`: S_OK with the text, S_FALSE when there is none
// (`text` untouched), E_OUTOFMEMORY.
[[nodiscard]] HResult LoadStringInLanguage(HMODULE module, UINT id, WORD language,
                                           WideString& text) noexcept;

// String `id` in the interface language, empty when missing; decides the language on first use.
// Fails only with E_OUTOFMEMORY.
[[nodiscard]] HResult LoadUiString(UINT id, WideString& text) noexcept;

}  // namespace nivra
