// IContextMenu::InvokeCommand: starts the document application for the stored file.
#include <windows.h>
// CMIC_MASK_FLAG_NO_UI is the shell-execute flag of the same value.
#include <shellapi.h>

#include <cstdint>

#include "common/text_win32.h"
#include "handler/command_verbs.h"
#include "handler/launch_command_win32.h"
#include "handler/shell_ext_win32.h"

namespace nivra {

namespace {

// The command index named by the record's verb: the offset itself, or the index of an ANSI
// verb string in the verb table (-1 when it names no command).
HResult FindInvokedCommand(LPCSTR verb, std::ptrdiff_t& index) noexcept {
    const auto bits = reinterpret_cast<std::uintptr_t>(verb);
    if ((bits >> 16) == 0) {
        index = static_cast<std::ptrdiff_t>(bits);
        return S_OK;
    }
    WideString wide;
    const int units = ::MultiByteToWideChar(CP_THREAD_ACP, 0, verb, -1, nullptr, 0);
    if (units > 1) {
        NV_RETURN_IF_FAILED(wide.Reserve(static_cast<std::size_t>(units)));
        const int converted =
            ::MultiByteToWideChar(CP_THREAD_ACP, 0, verb, -1, AsWide(wide.Buffer()), units);
        NV_RETURN_IF_FAILED(
            wide.SetLength(converted > 0 ? static_cast<std::size_t>(converted - 1) : 0));
    }
    index = FindCommandVerb(wide.Text(), wide.Length());
    return S_OK;
}

}  // namespace

HRESULT CNivraShellExt::InvokeCommand(CMINVOKECOMMANDINFO* info) noexcept {
    if (info == nullptr)
        return E_INVALIDARG;
    std::ptrdiff_t index = -1;
    NV_RETURN_IF_FAILED(FindInvokedCommand(info->lpVerb, index));
    if (index != 0)
        return E_FAIL;

    const StartFailureNotice notice = {info->hwnd, 0, (info->fMask & CMIC_MASK_FLAG_NO_UI) == 0};
    return StartDocumentApplication(m_selectedFile.Text(), m_selectedFile.Length(), notice);
}

}  // namespace nivra
