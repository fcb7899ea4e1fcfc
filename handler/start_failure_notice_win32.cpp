#include "handler/start_failure_notice_win32.h"

#include "common/text_win32.h"
#include "handler/menu_title.h"
#include "handler/start_failure_text.h"
#include "handler/ui_strings_win32.h"

namespace nivra {

namespace {

constexpr DWORD kReasonCapacity = 512;

// The system's text for `error` in `language`, else in the system's own language, else the
// number; always terminated. A fixed buffer: nothing to allocate or free.
DWORD FormatSystemReason(DWORD error, WORD language, wchar_t (&reason)[kReasonCapacity]) noexcept {
    constexpr DWORD kFlags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    DWORD units =
        ::FormatMessageW(kFlags, nullptr, error, language, reason, kReasonCapacity, nullptr);
    if (units == 0)
        units = ::FormatMessageW(kFlags, nullptr, error, 0, reason, kReasonCapacity, nullptr);
    if (units == 0)
        units = static_cast<DWORD>(::wsprintfW(reason, L"0x%08lX", HRESULT_FROM_WIN32(error)));
    return units;
}

}  // namespace

HResult TellStartFailure(const StartFailureNotice& notice, const WideString& application,
                         DWORD error) noexcept {
    WideString menuText;
    NV_RETURN_IF_FAILED(LoadUiString(kMenuTextId, menuText));
    WideString caption;
    NV_RETURN_IF_FAILED(RemoveMnemonicMarkers(menuText.Text(), menuText.Length(), caption));
    WideString lead;
    NV_RETURN_IF_FAILED(LoadUiString(kStartFailedTextId, lead));
    WideString advice;
    NV_RETURN_IF_FAILED(LoadUiString(kStartFailedAdviceId, advice));

    wchar_t reason[kReasonCapacity];
    const DWORD reasonUnits = FormatSystemReason(error, static_cast<WORD>(g_uiLangId), reason);
    WideString text;
    NV_RETURN_IF_FAILED(
        ComposeStartFailureText(lead, application, AsUtf16(reason), reasonUnits, advice, text));
    const int answer = ::MessageBoxW(notice.owner, AsWide(text.Text()), AsWide(caption.Text()),
                                     MB_OK | MB_ICONERROR | notice.extraStyle);
    // Failure is 0 on Windows, -1 under Wine without a screen.
    return answer > 0 ? S_OK : E_FAIL;
}

}  // namespace nivra
