// The class identifiers that live outside the code too (the package manifest names the explorer
// command's class, the installer's fragments and the check program the handler's), in registry
// form. Platform-free, so that native tests can compare them with the files that repeat them.
#pragma once

namespace nivra {

inline constexpr char kHandlerClassId[] = "{37653C37-DEDE-49F1-A788-4E46787130D9}";
inline constexpr char kExplorerCommandClassId[] = "{18180415-7FC1-4CF5-903C-8D1556234590}";

}  // namespace nivra
