// Looks up an entry in arbitrary bytes. The block is copied into a buffer of exactly its size,
// so any read past its end is an AddressSanitizer report; whatever the lookup returns must lie
// wholly inside the block and match a plain walk over the entries.
//
// Input: bytes 0-3 are the id (little-endian), the rest is the block.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "handler/string_block.h"

namespace {

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

// Entry (id mod 16) by the resource format itself, with wide arithmetic so nothing can wrap;
// -1 when the entry is missing, empty or its text runs past the end.
long long ReferenceOffset(const std::uint8_t* block, std::size_t size, std::uint32_t id) {
    unsigned long long offset = 0;
    for (std::uint32_t k = 0; k <= (id & 15); ++k) {
        if (offset + 2 > size)
            return -1;
        const unsigned long long count = block[offset] | (block[offset + 1] << 8);
        if (k == (id & 15))
            return count != 0 && offset + 2 + 2 * count <= size ? static_cast<long long>(offset)
                                                                : -1;
        offset += 2 + 2 * count;
    }
    return -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4)
        return 0;
    const std::uint32_t id = static_cast<std::uint32_t>(data[0]) | (data[1] << 8) |
                             (data[2] << 16) | (static_cast<std::uint32_t>(data[3]) << 24);
    const std::size_t blockSize = size - 4;
    // A zero-size block is still a real address, with no readable byte behind it.
    const std::unique_ptr<std::uint8_t[]> block(new std::uint8_t[blockSize]);
    std::memcpy(block.get(), data + 4, blockSize);

    const std::uint8_t* entry = nivra::FindStringEntry(block.get(), blockSize, id);
    const long long expected = ReferenceOffset(block.get(), blockSize, id);
    if (entry == nullptr) {
        Check(expected < 0, "a well-formed entry was not found");
        return 0;
    }
    Check(entry >= block.get(), "entry starts before the block");
    const std::size_t offset = static_cast<std::size_t>(entry - block.get());
    Check(offset + 2 <= blockSize, "entry's count lies past the block");
    const std::size_t count = nivra::StringEntryCount(entry);
    Check(count != 0, "an empty entry was returned");
    Check(offset + 2 + 2 * count <= blockSize, "entry's text runs past the block");
    Check(static_cast<long long>(offset) == expected, "entry found at the wrong place");
    return 0;
}

#if !defined(NIVRA_LIBFUZZER)
#include "replay_main.inc"
#endif
