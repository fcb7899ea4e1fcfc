#include "handler/menu_item.h"

#include <climits>

namespace nivra {

CommandStringAnswer DecideCommandString(std::uintptr_t command, unsigned kind) noexcept {
    if (command != 0)
        return {CommandStringAction::kInvalid, false};
    const bool unicode = (kind & 0x4u) != 0;  // GCS_UNICODE
    switch (kind) {
        case 0:  // GCS_VERBA
        case 4:  // GCS_VERBW
            return {CommandStringAction::kVerb, unicode};
        case 1:  // GCS_HELPTEXTA
        case 5:  // GCS_HELPTEXTW
            return {CommandStringAction::kHelpText, unicode};
        case 2:  // GCS_VALIDATEA
        case 6:  // GCS_VALIDATEW
            return {CommandStringAction::kValidate, unicode};
        default:
            return {CommandStringAction::kInvalid, unicode};
    }
}

int CentredIconTop(int top, int bottom, int iconHeight) noexcept {
    // Wide arithmetic, so extreme rectangles cannot overflow; an upside-down one is clamped.
    const long long offset = (static_cast<long long>(bottom) - top - iconHeight) / 2;
    const long long y = top + offset;
    return y < INT_MIN ? INT_MIN : y > INT_MAX ? INT_MAX : static_cast<int>(y);
}

}  // namespace nivra
