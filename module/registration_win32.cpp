#include "module/registration_win32.h"

#include <objbase.h>

#include "common/text_win32.h"
#include "module/base_module_win32.h"
#include "module/identifiers_win32.h"
#include "module/shared_handler_entry_win32.h"
#include "module/user_classes_win32.h"
#include "registrar/module_resources_win32.h"
#include "registrar/quote_doubling.h"
#include "registrar/reg_object.h"
#include "registrar/registry_win32.h"

namespace nivra {

namespace {

constexpr DWORD kModulePathCapacity = 260;
constexpr std::size_t kQuotedPathCapacity = 520;

// The platform error as a result; a failure without an error code must still fail.
HRESULT LastErrorResult() noexcept {
    const DWORD error = ::GetLastError();
    return error != 0 ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

template <class RunScript>
HRESULT RunWithVariables(const ReplacementPair* pairs, RunScript run) noexcept {
    CRegObject registrar(Win32Registry(), Win32ModuleResources());
    for (const ReplacementPair* pair = pairs; pair != nullptr && pair->name != nullptr; ++pair) {
        // A variable that cannot be added makes the script fail on it later.
        (void)registrar.AddVariable(AsUtf16(pair->name), AsUtf16(pair->value));
    }
    HRESULT hr = AddCommonReplacements(registrar);
    if (FAILED(hr))
        return hr;

    wchar_t path[kModulePathCapacity];
    const DWORD length = ::GetModuleFileNameW(g_baseModule.m_hInst, path, kModulePathCapacity);
    if (length == 0)
        return LastErrorResult();
    // The path filled the buffer, so it may have been cut.
    if (length == kModulePathCapacity)
        return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);

    char16_t quoted[kQuotedPathCapacity];
    hr = DoubleSingleQuotes(quoted, kQuotedPathCapacity, AsUtf16(path));
    if (FAILED(hr))
        return hr;
    hr = registrar.AddVariable(u"Module", quoted);
    if (FAILED(hr))
        return hr;
    hr = registrar.AddVariable(u"Module_Raw", quoted);
    if (FAILED(hr))
        return hr;
    return run(registrar, AsUtf16(path));
}

}  // namespace

HRESULT AddCommonReplacements(IRegistrarBase& registrar) noexcept {
    return registrar.AddVariable(u"APPID", u"");
}

HRESULT RegisterFromScriptResource(UINT number, BOOL doRegister,
                                   const ReplacementPair* pairs) noexcept {
    return RunWithVariables(pairs, [&](CRegObject& registrar, const char16_t* path) {
        const auto id = static_cast<std::uint16_t>(number);
        return doRegister ? registrar.RegisterScriptResource(path, id)
                          : registrar.UnregisterScriptResource(path, id);
    });
}

HRESULT RegisterFromNamedScriptResource(const wchar_t* name, BOOL doRegister,
                                        const ReplacementPair* pairs) noexcept {
    return RunWithVariables(pairs, [&](CRegObject& registrar, const char16_t* path) {
        return doRegister ? registrar.RegisterNamedScriptResource(path, AsUtf16(name))
                          : registrar.UnregisterNamedScriptResource(path, AsUtf16(name));
    });
}

namespace {

// Everything registration writes, in the order it is written.
struct HandlerScript {
    UINT resource;
    bool machineOnly;  // left out of per-user registration, which writes nothing for the machine
};
constexpr HandlerScript kHandlerScripts[] = {
    // The class, its program identifiers and the handler entry.
    {kRegistryScriptResource, false},
    // ContextMenuOptIn on the class key: Explorer loads only opted-in handlers for cloud files
    // that are not downloaded yet, and this one never opens the file.
    {kCloudFilesOptInResource, false},
    // The class in the list that the "approved shell extensions only" policy admits. The key is
    // kept per registry view on 64-bit Windows, so each DLL lists itself in its own view.
    {kApprovedExtensionResource, true},
};
constexpr std::size_t kHandlerScriptCount = sizeof(kHandlerScripts) / sizeof(kHandlerScripts[0]);

}  // namespace

HRESULT UpdateHandlerRegistry(BOOL doRegister) noexcept {
    wchar_t classId[40];
    wchar_t libraryId[40];
    ::StringFromGUID2(CLSID_NivraShellExt, classId, 40);
    ::StringFromGUID2(LIBID_NivraShellExtLib, libraryId, 40);
    const ReplacementPair pairs[] = {
        {L"PROGID", L"NivraShellExtLib.NivraShellExt"},
        {L"VERSION", L"1"},
        {L"DESCRIPTION", L"NivraShellExt Class"},
        {L"CLSID", classId},
        {L"LIBID", libraryId},
        {L"THREADING", L"Apartment"},
        {nullptr, nullptr},
    };
    const bool perUser = IsRegisteringForUser();
    HRESULT hr = S_OK;
    for (std::size_t i = 0; i < kHandlerScriptCount; ++i) {
        const HandlerScript& script = kHandlerScripts[doRegister ? i : kHandlerScriptCount - 1 - i];
        if (perUser && script.machineOnly)
            continue;
        const HRESULT ran = RegisterFromScriptResource(script.resource, doRegister, pairs);
        if (FAILED(ran) && SUCCEEDED(hr))
            hr = ran;
        if (FAILED(hr) && doRegister)
            return hr;
    }
    // The handler entry is shared with the other architecture's registry view: while that view
    // still registers the class, its command must not vanish with ours. (On 32-bit Windows
    // the view asked is our own, where the class has just gone.)
    if (!doRegister && ViewRegistersClass(perUser, kOtherRegistryView, classId)) {
        const HRESULT restored = RestoreSharedHandlerEntry(classId);
        if (SUCCEEDED(hr))
            hr = restored;
    }
    return hr;
}

HRESULT RegisterClassCategories(const CLSID&, const void*, BOOL) noexcept {
    // The one class declares no component categories (its list is null), so there is nothing
    // to write or to look for.
    return S_OK;
}

}  // namespace nivra
