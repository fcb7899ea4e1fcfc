// The handler's side of the menu: the one item, its verb and help text, and drawing its icon
// where the item carries no bitmap.
#include <windows.h>

#include <climits>
#include <cstddef>

#include "common/heap.h"
#include "common/text_win32.h"
#include "common/unique_any_win32.h"
#include "handler/command_verbs.h"
#include "handler/file_type_filter.h"
#include "handler/menu_item.h"
#include "handler/shell_ext_win32.h"
#include "handler/ui_strings_win32.h"
#include "menu_image/system_version_win32.h"
#include "module/base_module_win32.h"

namespace nivra {

namespace {

// The small-icon size follows the display scale (16 at 96 DPI, 24 at 144): the group holds an
// image drawn for each common one, so asking for this size gets that image rather than a
// stretched 16-pixel one.
struct IconSize {
    int cx;
    int cy;
};
IconSize SmallIconSize() noexcept {
    return {::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON)};
}

UniqueIcon LoadMenuIcon(IconSize size) noexcept {
    return UniqueIcon(
        static_cast<HICON>(::LoadImageW(g_baseModule.m_hInstResource, MAKEINTRESOURCEW(kMenuIconId),
                                        IMAGE_ICON, size.cx, size.cy, LR_DEFAULTCOLOR)));
}

// The copy functions take an int count; a larger buffer is simply not filled beyond that.
int CopyLimit(UINT size) noexcept {
    return size > static_cast<UINT>(INT_MAX) ? INT_MAX : static_cast<int>(size);
}

class AnsiText {
  public:
    AnsiText() noexcept = default;
    ~AnsiText() { MemFree(text_); }
    AnsiText(const AnsiText&) = delete;
    AnsiText& operator=(const AnsiText&) = delete;

    // Converts to the thread's ANSI code page. A text that cannot be converted leaves this
    // empty; only running out of memory is an error.
    HRESULT Convert(const WideString& wide) noexcept {
        const std::size_t units = wide.Length() + 1;
        if (units > 0x3FFFFFFF)
            return S_OK;
        const int bytes = static_cast<int>(2 * units);
        text_ = static_cast<char*>(MemAllocate(static_cast<std::size_t>(bytes)));
        if (text_ == nullptr)
            return E_OUTOFMEMORY;
        if (::WideCharToMultiByte(CP_THREAD_ACP, 0, AsWide(wide.Text()), -1, text_, bytes, nullptr,
                                  nullptr) == 0)
            text_[0] = '\0';
        return S_OK;
    }
    const char* Text() const noexcept { return text_ != nullptr ? text_ : ""; }

  private:
    char* text_ = nullptr;
};

}  // namespace

HRESULT CNivraShellExt::QueryContextMenu(HMENU menu, UINT position, UINT firstCommand, UINT,
                                         UINT flags) noexcept {
    if (WantsDefaultOnly(flags))
        return S_OK;
    if (!IsSupportedFile(m_selectedFile.Text(), m_selectedFile.Length()))
        return S_OK;
    WideString text;
    NV_RETURN_IF_FAILED(LoadUiString(kMenuTextId, text));
    // The menu wants a writable pointer; an empty string has no buffer of its own yet.
    NV_RETURN_IF_FAILED(text.Reserve(text.Length()));

    MENUITEMINFOW item = {};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_ID | MIIM_STRING | MIIM_BITMAP | MIIM_FTYPE;
    item.fType = MFT_STRING;
    item.dwTypeData = AsWide(text.Buffer());
    item.hbmpItem = HBMMENU_CALLBACK;
    if (IsVersion6OrLater()) {
        // A failed conversion is tried again next time; a bitmap once made is kept.
        if (!m_hMenuBitmap.is_valid()) {
            // RenderIcon makes its bitmap at the small-icon size too.
            const UniqueIcon icon = LoadMenuIcon(SmallIconSize());
            if (icon.is_valid())
                m_hMenuBitmap = m_menuIconRenderer.RenderIcon(icon.get());
        }
        item.hbmpItem = m_hMenuBitmap.get();
    }
    item.wID = firstCommand;
    ::InsertMenuItemW(menu, position, TRUE, &item);
    return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1);
}

HRESULT CNivraShellExt::GetCommandString(UINT_PTR command, UINT kind, UINT*, CHAR* buffer,
                                         UINT size) noexcept {
    const CommandStringAnswer answer = DecideCommandString(command, kind);
    switch (answer.action) {
        case CommandStringAction::kInvalid:
            return E_INVALIDARG;
        case CommandStringAction::kValidate:
            return S_OK;
        case CommandStringAction::kVerb:
        case CommandStringAction::kHelpText:
            break;
    }
    if (buffer == nullptr && size != 0)
        return E_INVALIDARG;

    WideString text;
    if (answer.action == CommandStringAction::kVerb)
        NV_RETURN_IF_FAILED(text.Assign(g_commandVerbs[command]));
    else
        NV_RETURN_IF_FAILED(LoadUiString(kHelpTextId, text));

    if (answer.unicode) {
        if (size != 0)
            ::lstrcpynW(reinterpret_cast<wchar_t*>(buffer), AsWide(text.Text()), CopyLimit(size));
        return S_OK;
    }
    AnsiText ansi;
    NV_RETURN_IF_FAILED(ansi.Convert(text));
    if (size != 0)
        ::lstrcpynA(buffer, ansi.Text(), CopyLimit(size));
    return S_OK;
}

HRESULT CNivraShellExt::HandleMenuMsg(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    return HandleMenuMsg2(message, wParam, lParam, nullptr);
}

HRESULT CNivraShellExt::HandleMenuMsg2(UINT message, WPARAM, LPARAM lParam,
                                       LRESULT* result) noexcept {
    LRESULT scratch = 0;
    LRESULT& handled = result != nullptr ? *result : scratch;
    handled = 0;
    if (lParam == 0)
        return S_OK;
    if (message == WM_MEASUREITEM) {
        auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        const IconSize size = SmallIconSize();
        measure->itemWidth = static_cast<UINT>(size.cx);
        measure->itemHeight = static_cast<UINT>(size.cy);
        handled = 1;
    } else if (message == WM_DRAWITEM) {
        const auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (draw->CtlType != ODT_MENU)
            return S_OK;
        const IconSize size = SmallIconSize();
        const UniqueIcon icon = LoadMenuIcon(size);
        if (!icon.is_valid())
            return S_OK;
        const int top = CentredIconTop(draw->rcItem.top, draw->rcItem.bottom, size.cy);
        ::DrawIconEx(draw->hDC, draw->rcItem.left, top, icon.get(), size.cx, size.cy, 0, nullptr,
                     DI_NORMAL);
        handled = 1;
    }
    return S_OK;
}

}  // namespace nivra
