// Test-build hooks of the allocation seam: make allocations fail on purpose and count the
// blocks that are still live. Compiled only where NIVRA_ALLOCATION_HOOKS is set.
#pragma once

#include <cstddef>

namespace nivra::testing {

// The next `successes` allocations succeed, every later one fails, until reset.
void FailAllocationsAfter(std::size_t successes) noexcept;
void StopFailingAllocations() noexcept;
// Number of allocations that were refused since the last FailAllocationsAfter.
std::size_t RefusedAllocations() noexcept;
// Blocks handed out and not yet freed.
std::size_t LiveAllocations() noexcept;

}  // namespace nivra::testing
