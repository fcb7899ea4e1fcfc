#include "common/unique_any_win32.h"

#include <ole2.h>

namespace nivra {

void UniqueStgMedium::reset() noexcept {
    if (filled_) {
        filled_ = false;
        ::ReleaseStgMedium(&medium_);
    }
    medium_ = {};
}

}  // namespace nivra
