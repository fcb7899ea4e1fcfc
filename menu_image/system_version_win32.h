// Which way the menu gets its image: a bitmap with alpha from 6.0 on, owner drawing before.
#pragma once

namespace nivra {

// True when the running system is version 6.0 or later. Asks the system once per process;
// a failed question is asked again next time.
bool IsVersion6OrLater() noexcept;

}  // namespace nivra
