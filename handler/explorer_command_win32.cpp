#include "handler/explorer_command_win32.h"

#include <cstring>

#include "common/com_ptr_win32.h"
#include "common/text_win32.h"
#include "common/unique_any_win32.h"
#include "common/wide_string.h"
#include "handler/file_type_filter.h"
#include "handler/icon_location.h"
#include "handler/launch_command_win32.h"
#include "handler/menu_item.h"
#include "handler/menu_title.h"
#include "handler/ui_strings_win32.h"

namespace nivra {

namespace {

// A copy of `text` that the caller frees with CoTaskMemFree; `*out` stays null on failure.
HRESULT HandOut(const WideString& text, LPWSTR* out) noexcept {
    const std::size_t bytes = (text.Length() + 1) * sizeof(char16_t);
    auto* copy = static_cast<wchar_t*>(::CoTaskMemAlloc(bytes));
    if (copy == nullptr)
        return E_OUTOFMEMORY;
    std::memcpy(copy, text.Text(), bytes);
    *out = copy;
    return S_OK;
}

// The one file the command acts on: S_OK when `items` holds exactly one item with a file-system
// path that the filter accepts and that is not a folder (its path into `file` when given),
// S_FALSE for anything else, E_OUTOFMEMORY. Only result codes are trusted: under Wine a failed
// GetDisplayName still writes a pointer, which must be neither used nor freed.
HRESULT FindCommandFile(IShellItemArray* items, WideString* file) noexcept {
    DWORD count = 0;
    if (items == nullptr || FAILED(items->GetCount(&count)) || count != 1)
        return S_FALSE;
    IShellItem* first = nullptr;
    // An array may answer S_OK and hand back no item.
    if (FAILED(items->GetItemAt(0, &first)) || first == nullptr)
        return S_FALSE;
    const ComPtr<IShellItem> item(first);
    wchar_t* named = nullptr;
    if (FAILED(item.get()->GetDisplayName(SIGDN_FILESYSPATH, &named)))
        return S_FALSE;
    const UniqueCoTaskMemString path(named);
    if (!path.is_valid())
        return S_FALSE;
    // The filter also turns down what the shell calls a path but is none ("::{...}").
    const char16_t* text = AsUtf16(path.get());
    const std::size_t length = TextLength(text);
    if (!IsSupportedFile(text, length))
        return S_FALSE;
    SFGAOF attributes = 0;
    if (FAILED(item.get()->GetAttributes(SFGAO_FOLDER, &attributes)) ||
        (attributes & SFGAO_FOLDER) != 0) {
        return S_FALSE;
    }
    if (file != nullptr)
        NV_RETURN_IF_FAILED(file->Assign(text, length));
    return S_OK;
}

}  // namespace

HRESULT CNivraExplorerCommand::GetTitle(IShellItemArray*, LPWSTR* name) noexcept {
    if (name == nullptr)
        return E_POINTER;
    *name = nullptr;
    WideString text;
    NV_RETURN_IF_FAILED(LoadUiString(kMenuTextId, text));
    WideString title;
    NV_RETURN_IF_FAILED(RemoveMnemonicMarkers(text.Text(), text.Length(), title));
    return HandOut(title, name);
}

HRESULT CNivraExplorerCommand::GetIcon(IShellItemArray*, LPWSTR* icon) noexcept {
    if (icon == nullptr)
        return E_POINTER;
    *icon = nullptr;
    WideString path;
    NV_RETURN_IF_FAILED(GetModulePath(path));
    // Without our own path there is no icon to name; the menu shows the title alone.
    if (path.IsEmpty())
        return E_FAIL;
    WideString location;
    NV_RETURN_IF_FAILED(BuildIconLocation(path, kMenuIconId, location));
    return HandOut(location, icon);
}

HRESULT CNivraExplorerCommand::GetToolTip(IShellItemArray*, LPWSTR* tip) noexcept {
    if (tip == nullptr)
        return E_POINTER;
    *tip = nullptr;
    WideString text;
    NV_RETURN_IF_FAILED(LoadUiString(kHelpTextId, text));
    return HandOut(text, tip);
}

HRESULT CNivraExplorerCommand::GetCanonicalName(GUID* name) noexcept {
    if (name == nullptr)
        return E_POINTER;
    *name = CLSID_NivraExplorerCommand;
    return S_OK;
}

HRESULT CNivraExplorerCommand::GetState(IShellItemArray* items, BOOL, EXPCMDSTATE* state) noexcept {
    if (state == nullptr)
        return E_POINTER;
    *state = ECS_HIDDEN;
    const HRESULT hr = FindCommandFile(items, nullptr);
    if (FAILED(hr))
        return hr;
    if (hr == S_OK)
        *state = ECS_ENABLED;
    return S_OK;
}

HRESULT CNivraExplorerCommand::Invoke(IShellItemArray* items, IBindCtx*) noexcept {
    WideString file;
    const HRESULT hr = FindCommandFile(items, &file);
    if (hr != S_OK)
        return FAILED(hr) ? hr : E_FAIL;
    // No window is handed over, and the command may run in a COM surrogate: an unowned box that
    // comes to the front.
    const StartFailureNotice notice = {nullptr, MB_SETFOREGROUND, true};
    return StartDocumentApplication(file.Text(), file.Length(), notice);
}

HRESULT CNivraExplorerCommand::GetFlags(EXPCMDFLAGS* flags) noexcept {
    if (flags == nullptr)
        return E_POINTER;
    *flags = ECF_DEFAULT;
    return S_OK;
}

HRESULT CNivraExplorerCommand::EnumSubCommands(IEnumExplorerCommand** commands) noexcept {
    if (commands == nullptr)
        return E_POINTER;
    *commands = nullptr;
    return E_NOTIMPL;
}

}  // namespace nivra
