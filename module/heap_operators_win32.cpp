// The DLL's own global operator new and delete, over the process heap. The runtime's versions
// would link its exception support, whose start-up leaks a buffer and a handle on each load.
// Nothing in the DLL calls operator new; objects are placed into MemAllocate blocks. These
// exist so that the compiler's deleting destructors find a definition here.
#include <cstddef>
#include <new>

#include "common/heap.h"

void* operator new(std::size_t bytes) {
    return nivra::MemAllocate(bytes);
}
void* operator new[](std::size_t bytes) {
    return nivra::MemAllocate(bytes);
}
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept {
    return nivra::MemAllocate(bytes);
}
void* operator new[](std::size_t bytes, const std::nothrow_t&) noexcept {
    return nivra::MemAllocate(bytes);
}
void operator delete(void* block) noexcept {
    nivra::MemFree(block);
}
void operator delete[](void* block) noexcept {
    nivra::MemFree(block);
}
void operator delete(void* block, std::size_t) noexcept {
    nivra::MemFree(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    nivra::MemFree(block);
}
