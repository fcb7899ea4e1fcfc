#include "handler/icon_location.h"

namespace nivra {

HResult BuildIconLocation(const WideString& modulePath, std::uint16_t id,
                          WideString& location) noexcept {
    char16_t digits[8];
    std::size_t count = 0;
    do {
        digits[count++] = static_cast<char16_t>(u'0' + id % 10);
        id = static_cast<std::uint16_t>(id / 10);
    } while (id != 0);
    char16_t suffix[10] = {u',', u'-'};
    for (std::size_t i = 0; i < count; ++i)
        suffix[2 + i] = digits[count - 1 - i];
    NV_RETURN_IF_FAILED(location.Assign(modulePath.Text(), modulePath.Length()));
    return location.Append(suffix, 2 + count);
}

}  // namespace nivra
