// The one allocation seam of the system. Every block the system allocates comes from here:
// the process heap inside the DLL, the C heap in native builds. Nothing here throws.
#pragma once

#include <cstddef>

namespace nivra {

// Returns a block of at least `bytes` bytes (a zero-byte request still gets a unique block),
// or null when memory runs out.
void* MemAllocate(std::size_t bytes) noexcept;

// Resizes `block` (which may be null). On failure returns null and leaves `block` as it was.
void* MemReallocate(void* block, std::size_t bytes) noexcept;

// Frees a block from MemAllocate or MemReallocate; null is ignored.
void MemFree(void* block) noexcept;

}  // namespace nivra
