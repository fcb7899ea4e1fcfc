// Lookup in one block of a string-table resource: 16 entries, each a 16-bit little-endian
// count followed by that many UTF-16LE units, no terminators.
#pragma once

#include <cstddef>
#include <cstdint>

namespace nivra {

// The integer resource name of the block that holds `id`.
inline constexpr std::uint16_t StringBlockName(std::uint32_t id) noexcept {
    return static_cast<std::uint16_t>((id >> 4) + 1);
}

// Where entry (id mod 16) starts inside the block, or null when it is empty or the block is
// too short to hold it. An entry whose text would run past the block's end counts as absent,
// so a malformed block is never read beyond its size.
const std::uint8_t* FindStringEntry(const void* block, std::size_t size, std::uint32_t id) noexcept;

// The count stored at an entry found by FindStringEntry.
inline std::uint16_t StringEntryCount(const std::uint8_t* entry) noexcept {
    return static_cast<std::uint16_t>(entry[0] | (entry[1] << 8));
}

}  // namespace nivra
