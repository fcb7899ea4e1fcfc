#include "common/heap.h"

#include <windows.h>

#include "common/heap_hooks.inc"

namespace nivra {

void* MemAllocate(std::size_t bytes) noexcept {
    if (AllocationRefused())
        return nullptr;
    void* block = ::HeapAlloc(::GetProcessHeap(), 0, bytes == 0 ? 1 : bytes);
    if (block != nullptr)
        CountAllocated();
    return block;
}

void* MemReallocate(void* block, std::size_t bytes) noexcept {
    if (block == nullptr)
        return MemAllocate(bytes);
    if (AllocationRefused())
        return nullptr;
    return ::HeapReAlloc(::GetProcessHeap(), 0, block, bytes == 0 ? 1 : bytes);
}

void MemFree(void* block) noexcept {
    if (block == nullptr)
        return;
    CountFreed();
    ::HeapFree(::GetProcessHeap(), 0, block);
}

}  // namespace nivra
