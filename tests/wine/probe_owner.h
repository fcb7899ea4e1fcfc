// The title of the window that handler_probe hands to InvokeCommand as the record's owner.
#pragma once

inline constexpr wchar_t kProbeOwnerTitle[] = L"nivra probe owner";
