// The interface language: decided once per process from the main application's settings.
#pragma once

#include <cstdint>

#include "common/result_codes.h"
#include "common/wide_string.h"

namespace nivra {

inline constexpr std::int32_t kLanguageUndecided = -1;
inline constexpr std::int32_t kLanguageEnglish = 1033;
inline constexpr std::int32_t kLanguageLithuanian = 1063;

inline constexpr char16_t kSettingsRelativePath[] = u"configuration\\config.ini";
inline constexpr char16_t kSettingsSection[] = u"SetupSettings";
inline constexpr char16_t kSettingsKey[] = u"osgi.nl";
// The value buffer holds two units and a terminator: only the first two characters count.
inline constexpr std::uint32_t kSettingValueCapacity = 3;

// True when the value read is exactly "lt", compared case-sensitively.
bool IsLithuanianSetting(const char16_t* value) noexcept;

// `directory` (ending in a backslash, or empty) followed by the settings file's relative path.
[[nodiscard]] HResult BuildSettingsPath(const WideString& directory, WideString& path) noexcept;

// Where the decision reads the setting. `readSetting` fills `value` (kSettingValueCapacity
// units, terminated) and may fail; `yield` lets another thread run while a decision is under
// way elsewhere.
struct LanguageSettingSource {
    HResult (*readSetting)(void* context, char16_t* value);
    void (*yield)(void* context);
    void* context;
};

// Returns the decided language and stores it in `cache` (any negative value: undecided). The
// first caller reads the setting; callers that arrive meanwhile wait for its answer instead
// of taking a provisional one. A failed read decides English.
std::int32_t DecideUiLanguage(std::int32_t* cache, const LanguageSettingSource& source) noexcept;

}  // namespace nivra
