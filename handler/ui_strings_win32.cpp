#include "handler/ui_strings_win32.h"

#include <cstring>

#include "common/text_win32.h"
#include "handler/module_directory.h"
#include "handler/string_block.h"
#include "handler/ui_language.h"
#include "module/base_module_win32.h"

namespace nivra {

std::int32_t g_uiLangId = kLanguageUndecided;

namespace {

std::uint32_t ReadOwnModuleFileName(void*, char16_t* buffer, std::uint32_t capacity) {
    return ::GetModuleFileNameW(g_baseModule.m_hInst, AsWide(buffer), capacity);
}

// The setting as a copy of this library in `directory` reads it.
HResult ReadSettingIn(const WideString& directory, char16_t* value) {
    WideString path;
    NV_RETURN_IF_FAILED(BuildSettingsPath(directory, path));
    ::GetPrivateProfileStringW(AsWide(kSettingsSection), AsWide(kSettingsKey), L"", AsWide(value),
                               kSettingValueCapacity, AsWide(path.Text()));
    return kOk;
}

HResult ReadLanguageSetting(void*, char16_t* value) {
    WideString directory;
    NV_RETURN_IF_FAILED(GetModuleDirectory(directory));
    return ReadSettingIn(directory, value);
}

HResult ReadLanguageSettingIn(void* directory, char16_t* value) {
    return ReadSettingIn(*static_cast<const WideString*>(directory), value);
}

// The deciding thread is reading a small file; a short sleep beats spinning on a busy core.
void WaitForLanguageDecision(void*) {
    ::Sleep(1);
}

}  // namespace

HResult GetModulePath(WideString& path) noexcept {
    return GetModulePathFrom(ReadOwnModuleFileName, nullptr, path);
}

HResult GetModuleDirectory(WideString& directory) noexcept {
    return GetModuleDirectoryFrom(ReadOwnModuleFileName, nullptr, directory);
}

HResult LoadStringInLanguage(HMODULE module, UINT id, WORD language, WideString& text) noexcept {
    HRSRC resource =
        ::FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(StringBlockName(id)), language);
    if (resource == nullptr)
        return S_FALSE;
    HGLOBAL loaded = ::LoadResource(module, resource);
    const void* block = loaded != nullptr ? ::LockResource(loaded) : nullptr;
    const DWORD size = ::SizeofResource(module, resource);
    if (block == nullptr || size == 0)
        return S_FALSE;

    const std::uint8_t* entry = FindStringEntry(block, size, id);
    if (entry == nullptr)
        return S_FALSE;
    const std::size_t count = StringEntryCount(entry);
    WideString found;
    NV_RETURN_IF_FAILED(found.Reserve(count));
    std::memcpy(found.Buffer(), entry + 2, count * sizeof(char16_t));
    NV_RETURN_IF_FAILED(found.SetLength(count));
    text = static_cast<WideString&&>(found);
    return S_OK;
}

std::int32_t DecideLanguageIn(const WideString& directory) noexcept {
    std::int32_t decided = kLanguageUndecided;
    const LanguageSettingSource source = {ReadLanguageSettingIn, WaitForLanguageDecision,
                                          const_cast<WideString*>(&directory)};
    return DecideUiLanguage(&decided, source);
}

HResult LoadUiString(UINT id, WideString& text) noexcept {
    const LanguageSettingSource source = {ReadLanguageSetting, WaitForLanguageDecision, nullptr};
    const std::int32_t language = DecideUiLanguage(&g_uiLangId, source);
    WideString found;
    const HResult hr =
        LoadStringInLanguage(g_baseModule.m_hInstResource, id, static_cast<WORD>(language), found);
    NV_RETURN_IF_FAILED(hr);
    text = static_cast<WideString&&>(found);
    return kOk;
}

}  // namespace nivra
