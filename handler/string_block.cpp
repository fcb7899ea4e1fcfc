#include "handler/string_block.h"

namespace nivra {

const std::uint8_t* FindStringEntry(const void* block, std::size_t size,
                                    std::uint32_t id) noexcept {
    const auto* start = static_cast<const std::uint8_t*>(block);
    if (start == nullptr)
        return nullptr;
    // Offsets, not pointers: stepping a pointer past the end would already be undefined.
    std::size_t offset = 0;
    for (std::uint32_t k = id & 15; k > 0; --k) {
        if (offset >= size || size - offset < 2)
            return nullptr;
        offset += 2 + 2 * static_cast<std::size_t>(StringEntryCount(start + offset));
    }
    if (offset >= size || size - offset < 2)
        return nullptr;
    const std::size_t count = StringEntryCount(start + offset);
    if (count == 0)
        return nullptr;
    if (2 * count > size - offset - 2)
        return nullptr;
    return start + offset;
}

}  // namespace nivra
