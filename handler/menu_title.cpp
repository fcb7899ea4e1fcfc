#include "handler/menu_title.h"

namespace nivra {

HResult RemoveMnemonicMarkers(const char16_t* text, std::size_t length,
                              WideString& title) noexcept {
    WideString shown;
    NV_RETURN_IF_FAILED(shown.Reserve(length));
    std::size_t kept = 0;
    for (std::size_t i = 0; i < length; ++i) {
        if (text[i] == u'&') {
            // The marker itself goes; after it, the next unit stays whatever it is.
            if (++i == length)
                break;
        }
        shown.Buffer()[kept++] = text[i];
    }
    NV_RETURN_IF_FAILED(shown.SetLength(kept));
    title = static_cast<WideString&&>(shown);
    return kOk;
}

}  // namespace nivra
