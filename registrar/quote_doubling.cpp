#include "registrar/quote_doubling.h"

namespace nivra {

HResult DoubleSingleQuotes(char16_t* destination, std::size_t capacity,
                           const char16_t* source) noexcept {
    if (destination == nullptr || source == nullptr || capacity == 0)
        return kInvalidArg;
    const std::size_t limit = capacity - 1;
    std::size_t written = 0;
    for (; *source != u'\0' && written < limit; ++source) {
        destination[written++] = *source;
        if (*source == u'\'' && written < limit)
            destination[written++] = u'\'';
    }
    destination[written] = u'\0';
    return kOk;
}

}  // namespace nivra
