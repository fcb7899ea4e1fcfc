// Compares the file-type filter with a reference that does each step the plainest way: last
// dot, not at index 0, ASCII-only upper-casing, a linear search of the fourteen entries. The
// path is copied into a buffer of exactly its length, without terminator, so a read past it is
// an AddressSanitizer report.
//
// Input: the path in UTF-16LE (an odd last byte is ignored).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "handler/file_type_filter.h"

namespace {

bool ReferenceIsSupported(const std::u16string& path) {
    const std::size_t dot = path.rfind(u'.');
    if (dot == std::u16string::npos || dot == 0)
        return false;
    std::u16string extension = path.substr(dot + 1);
    for (char16_t& unit : extension) {
        if (unit >= u'a' && unit <= u'z')
            unit = static_cast<char16_t>(unit - u'a' + u'A');
    }
    static const char16_t* const kEntries[] = {u"DOCX", u"JFIF", u"JPEG", u"JPG", u"ODP",
                                               u"ODS",  u"ODT",  u"PDF",  u"PNG", u"PPSX",
                                               u"PPTX", u"TIF",  u"TIFF", u"XLSX"};
    for (const char16_t* entry : kEntries) {
        if (extension == entry)
            return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::size_t length = size / 2;
    std::u16string path(length, u'\0');
    for (std::size_t i = 0; i < length; ++i)
        path[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    char16_t* exact = new char16_t[length];
    path.copy(exact, length);
    const bool answer = nivra::IsSupportedFile(exact, length);
    delete[] exact;
    if (answer != ReferenceIsSupported(path)) {
        std::fprintf(stderr, "filter says %s for a path of %zu units\n",
                     answer ? "supported" : "unsupported", length);
        std::abort();
    }
    return 0;
}

#if !defined(NIVRA_LIBFUZZER)
#include "replay_main.inc"
#endif
