#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "handler/string_block.h"

namespace nivra {
namespace {

// A block in resource format: a little-endian count, then the UTF-16LE units, per entry.
std::vector<std::uint8_t> Block(const std::vector<std::u16string>& entries) {
    std::vector<std::uint8_t> bytes;
    for (const auto& text : entries) {
        bytes.push_back(static_cast<std::uint8_t>(text.size() & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(text.size() >> 8));
        for (char16_t unit : text) {
            bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
            bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
        }
    }
    return bytes;
}

std::vector<std::uint8_t> Block13(const std::u16string& menu, const std::u16string& help) {
    std::vector<std::u16string> entries(16);
    entries[8] = menu;
    entries[9] = help;
    return Block(entries);
}

std::u16string TextAt(const std::uint8_t* entry) {
    std::u16string text;
    for (std::size_t i = 0; i < StringEntryCount(entry); ++i) {
        text.push_back(static_cast<char16_t>(entry[2 + 2 * i] | (entry[3 + 2 * i] << 8)));
    }
    return text;
}

TEST(StringBlock, IdsTwoHundredAndTwoHundredOneAreEntriesEightAndNineOfBlockThirteen) {
    EXPECT_EQ(StringBlockName(200), 13);
    EXPECT_EQ(StringBlockName(201), 13);
    EXPECT_EQ(StringBlockName(192), 13);
    EXPECT_EQ(StringBlockName(207), 13);
    EXPECT_EQ(StringBlockName(100), 7);
    EXPECT_EQ(StringBlockName(0xFFFFFu), 0);  // cut to 16 bits
}

TEST(StringBlock, AWellFormedBlockYieldsItsTextsAndNothingForEmptyEntries) {
    const auto english =
        Block13(u"Add to &ADOC...", u"Creates a new ADOC document based on the selected file.");
    ASSERT_EQ(english.size(), 172u);
    const std::uint8_t* menu = FindStringEntry(english.data(), english.size(), 200);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(TextAt(menu), u"Add to &ADOC...");
    const std::uint8_t* help = FindStringEntry(english.data(), english.size(), 201);
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(TextAt(help), u"Creates a new ADOC document based on the selected file.");
    for (std::uint32_t id = 192; id <= 207; ++id) {
        if (id == 200 || id == 201)
            continue;
        EXPECT_EQ(FindStringEntry(english.data(), english.size(), id), nullptr) << id;
    }
}

TEST(StringBlock, AMalformedBlockGivesNotFoundWithoutReadingPastItsEnd) {
    const auto full = Block13(u"menu", u"help text");
    const std::size_t endOfEntry9 = 8 * 2 + (2 + 2 * 4) + (2 + 2 * 9);
    // Every truncation of the block, each in its own allocation so that ASan sees any overread.
    for (std::size_t size = 0; size < full.size(); ++size) {
        std::vector<std::uint8_t> cut(full.begin(), full.begin() + size);
        cut.shrink_to_fit();
        const std::uint8_t* entry = FindStringEntry(cut.empty() ? nullptr : cut.data(), size, 201);
        const bool whole = size >= endOfEntry9;
        EXPECT_EQ(entry != nullptr, whole) << size;
    }
    EXPECT_EQ(FindStringEntry(nullptr, 0, 200), nullptr);
}

TEST(StringBlock, ACountThatRunsPastTheEndIsNotAString) {
    std::vector<std::uint8_t> block(16 * 2, 0);
    block[16] = 0xFF;  // entry 8 claims 0xFFFF units in a 32-byte block
    block[17] = 0xFF;
    EXPECT_EQ(FindStringEntry(block.data(), block.size(), 200), nullptr);
    EXPECT_EQ(FindStringEntry(block.data(), block.size(), 201), nullptr);
    // An odd trailing byte cannot hold a count.
    std::vector<std::uint8_t> odd(17, 0);
    EXPECT_EQ(FindStringEntry(odd.data(), odd.size(), 8), nullptr);
}

}  // namespace
}  // namespace nivra
