#include "handler/ui_language.h"

namespace nivra {

namespace {
// Marks the cache while one thread reads the file; still negative, so still "undecided".
constexpr std::int32_t kLanguageDeciding = -2;
}  // namespace

bool IsLithuanianSetting(const char16_t* value) noexcept {
    return value[0] == u'l' && value[1] == u't' && value[2] == u'\0';
}

HResult BuildSettingsPath(const WideString& directory, WideString& path) noexcept {
    NV_RETURN_IF_FAILED(path.Assign(directory.Text(), directory.Length()));
    return path.Append(kSettingsRelativePath);
}

std::int32_t DecideUiLanguage(std::int32_t* cache, const LanguageSettingSource& source) noexcept {
    std::int32_t seen = __atomic_load_n(cache, __ATOMIC_ACQUIRE);
    while (seen < 0) {
        if (seen == kLanguageDeciding) {
            source.yield(source.context);
            seen = __atomic_load_n(cache, __ATOMIC_ACQUIRE);
            continue;
        }
        if (__atomic_compare_exchange_n(cache, &seen, kLanguageDeciding, false, __ATOMIC_ACQ_REL,
                                        __ATOMIC_ACQUIRE)) {
            char16_t value[kSettingValueCapacity] = {};
            std::int32_t language = kLanguageEnglish;
            if (Succeeded(source.readSetting(source.context, value)) &&
                IsLithuanianSetting(value)) {
                language = kLanguageLithuanian;
            }
            __atomic_store_n(cache, language, __ATOMIC_RELEASE);
            return language;
        }
    }
    return seen;
}

}  // namespace nivra
