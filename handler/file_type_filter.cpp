#include "handler/file_type_filter.h"

#include "handler/ordinal_table.h"

namespace nivra {

// Constant data: nothing to construct at load, so it exists before any handler object.
const char16_t* const g_supportedExtensions[kSupportedExtensionCount] = {
    u"DOCX", u"JFIF", u"JPEG", u"JPG",  u"ODP", u"ODS",  u"ODT",
    u"PDF",  u"PNG",  u"PPSX", u"PPTX", u"TIF", u"TIFF", u"XLSX",
};

namespace {
// No entry is longer, so a longer extension cannot match and needs no copy at all.
constexpr std::size_t kLongestExtension = 4;
}  // namespace

bool IsSupportedFile(const char16_t* path, std::size_t length) noexcept {
    std::size_t dot = length;
    for (std::size_t i = length; i > 0; --i) {
        if (path[i - 1] == u'.') {
            dot = i - 1;
            break;
        }
    }
    if (dot == length || dot == 0)
        return false;

    const std::size_t extensionLength = length - dot - 1;
    if (extensionLength > kLongestExtension)
        return false;
    char16_t extension[kLongestExtension];
    for (std::size_t i = 0; i < extensionLength; ++i) {
        const char16_t unit = path[dot + 1 + i];
        extension[i] = (unit >= u'a' && unit <= u'z') ? static_cast<char16_t>(unit - 0x20) : unit;
    }
    return FindOrdinal(g_supportedExtensions, kSupportedExtensionCount, extension,
                       extensionLength) >= 0;
}

}  // namespace nivra
