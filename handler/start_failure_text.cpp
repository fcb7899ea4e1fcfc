#include "handler/start_failure_text.h"

namespace nivra {

HResult ComposeStartFailureText(const WideString& lead, const WideString& application,
                                const char16_t* reason, std::size_t reasonLength,
                                const WideString& advice, WideString& text) noexcept {
    while (reasonLength > 0 &&
           (reason[reasonLength - 1] == u'\n' || reason[reasonLength - 1] == u'\r' ||
            reason[reasonLength - 1] == u' '))
        --reasonLength;
    WideString composed;
    NV_RETURN_IF_FAILED(composed.Append(lead));
    NV_RETURN_IF_FAILED(composed.Append(u"\n\n"));
    NV_RETURN_IF_FAILED(composed.Append(application));
    NV_RETURN_IF_FAILED(composed.Append(u"\n"));
    NV_RETURN_IF_FAILED(composed.Append(reason, reasonLength));
    NV_RETURN_IF_FAILED(composed.Append(u"\n\n"));
    NV_RETURN_IF_FAILED(composed.Append(advice));
    text = static_cast<WideString&&>(composed);
    return kOk;
}

}  // namespace nivra
