// The menu item's decisions that need no platform: the request flags, the answer to each kind
// of command-string request, and where the owner-drawn icon goes.
#pragma once

#include <cstdint>

namespace nivra {

// Icon group with one image per common small-icon size; the Win32 layer loads it at the
// system's small-icon size.
inline constexpr unsigned kMenuIconId = 101;

// The host asks for the default command only (CMF_DEFAULTONLY): we add nothing.
constexpr bool WantsDefaultOnly(unsigned flags) noexcept {
    return (flags & 0x1u) != 0;
}

enum class CommandStringAction { kInvalid, kVerb, kHelpText, kValidate };

struct CommandStringAnswer {
    CommandStringAction action;
    bool unicode;  // write UTF-16 rather than ANSI
};

// What GetCommandString does for a command offset and a request kind (GCS_*).
CommandStringAnswer DecideCommandString(std::uintptr_t command, unsigned kind) noexcept;

// The top of an icon of `iconHeight` centred in an item from `top` to `bottom`; the division
// truncates toward zero, so an item lower than the icon puts it above its top.
int CentredIconTop(int top, int bottom, int iconHeight) noexcept;

}  // namespace nivra
