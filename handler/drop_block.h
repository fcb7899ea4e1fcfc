// The drop block (DROPFILES) that a selection hands over: a 20-byte header whose first field is
// the byte offset of the name list and whose last is the wide flag, then the names, each ended
// by a zero unit, the list ended by one more.
#pragma once

#include <cstddef>

namespace nivra {

inline constexpr std::size_t kDropHeaderBytes = 20;

// True when the `size` bytes at `block` hold the whole header, the name offset lies inside
// the block and the name list ends (two zero units in a row, in the block's own character
// width) before the block does. The platform's DragQueryFileW trusts all three and reads past
// the end of a block that lies about itself.
bool IsWellFormedDropBlock(const unsigned char* block, std::size_t size) noexcept;

}  // namespace nivra
