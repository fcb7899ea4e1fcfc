#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "handler/drop_block.h"

namespace nivra {
namespace {

using Bytes = std::vector<unsigned char>;

void PutField(Bytes& block, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        block[at + i] = static_cast<unsigned char>(value >> (8 * i));
}

// A header with the given name offset and width, then `names` in that width, as they are.
Bytes Block(std::uint32_t namesOffset, bool wide, const std::u16string& names) {
    Bytes block(kDropHeaderBytes);
    PutField(block, 0, namesOffset);
    PutField(block, 16, wide ? 1 : 0);
    for (char16_t unit : names) {
        block.push_back(static_cast<unsigned char>(unit & 0xFF));
        if (wide)
            block.push_back(static_cast<unsigned char>(unit >> 8));
    }
    return block;
}

bool WellFormed(const Bytes& block) {
    return IsWellFormedDropBlock(block.data(), block.size());
}

const std::u16string kOneFile(u"C:\\a.pdf\0\0", 10);

TEST(DropBlock, WellFormedListsInEitherWidthAreAccepted) {
    EXPECT_TRUE(WellFormed(Block(20, true, kOneFile)));
    EXPECT_TRUE(WellFormed(Block(20, false, kOneFile)));
    EXPECT_TRUE(WellFormed(Block(20, true, std::u16string(u"a\0bc\0\0", 6))));
    // An empty list, and names that start inside the header, are the platform's to judge.
    EXPECT_TRUE(WellFormed(Block(20, true, std::u16string(2, u'\0'))));
    EXPECT_TRUE(WellFormed(Block(4, true, kOneFile)));
}

TEST(DropBlock, AHeaderCutShortOrANameOffsetOutsideTheBlockIsRefused) {
    EXPECT_FALSE(IsWellFormedDropBlock(nullptr, 100));
    Bytes block = Block(20, true, kOneFile);
    EXPECT_FALSE(IsWellFormedDropBlock(block.data(), kDropHeaderBytes - 1));
    for (std::uint32_t offset : {std::uint32_t(block.size()), 4096u, 0xFFFFFFFFu}) {
        PutField(block, 0, offset);
        EXPECT_FALSE(WellFormed(block)) << offset;
    }
}

TEST(DropBlock, AListThatDoesNotEndInsideTheBlockInItsOwnWidthIsRefused) {
    EXPECT_FALSE(WellFormed(Block(20, true, u"C:\\a.pdf")));
    EXPECT_FALSE(WellFormed(Block(20, true, std::u16string(u"C:\\a.pdf\0", 9))));
    Bytes block = Block(20, true, kOneFile);
    EXPECT_TRUE(IsWellFormedDropBlock(block.data(), block.size()));
    EXPECT_FALSE(IsWellFormedDropBlock(block.data(), block.size() - 1));
    // Two zero bytes end an ANSI list but are only one unit of a wide one.
    Bytes ansiEnd = Block(20, false, kOneFile);
    EXPECT_TRUE(WellFormed(ansiEnd));
    PutField(ansiEnd, 16, 1);
    EXPECT_FALSE(WellFormed(ansiEnd));
    // Wide units are read from the offset on, even an odd one.
    Bytes odd = Block(21, true, kOneFile);
    odd.insert(odd.begin() + 20, 'x');
    EXPECT_TRUE(WellFormed(odd));
    odd.pop_back();
    EXPECT_FALSE(WellFormed(odd));
}

}  // namespace
}  // namespace nivra
