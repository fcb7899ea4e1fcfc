#include "common/heap.h"

#include <cstdlib>

#include "common/heap_hooks.inc"

namespace nivra {

void* MemAllocate(std::size_t bytes) noexcept {
    if (AllocationRefused())
        return nullptr;
    void* block = std::malloc(bytes == 0 ? 1 : bytes);
    if (block != nullptr)
        CountAllocated();
    return block;
}

void* MemReallocate(void* block, std::size_t bytes) noexcept {
    if (block == nullptr)
        return MemAllocate(bytes);
    if (AllocationRefused())
        return nullptr;
    return std::realloc(block, bytes == 0 ? 1 : bytes);
}

void MemFree(void* block) noexcept {
    if (block == nullptr)
        return;
    CountFreed();
    std::free(block);
}

}  // namespace nivra
