// The script fuzzer skips inputs over its length cap. These inputs, all within the cap, show
// that its runs still reach the longest token and the deepest nesting, in both text forms.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "script_input.h"

namespace nivra::fuzzing {
namespace {

constexpr std::uint8_t kUtf16 = 1;
constexpr std::uint8_t kVariablesFromInput = 2;

template <typename Text>
Text Repeat(const Text& text, std::size_t times) {
    Text out;
    for (std::size_t i = 0; i < times; ++i)
        out += text;
    return out;
}

std::string Encode(std::uint8_t flags, const std::u16string& text) {
    std::string bytes{static_cast<char>(flags), '\0'};
    for (const char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        if ((flags & kUtf16) != 0)
            bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

// Returns the register pass's result; fails the test when the input is over the cap.
HResult RunInput(std::uint8_t flags, const std::u16string& text) {
    const std::string bytes = Encode(flags, text);
    EXPECT_LE(bytes.size(), kMaxInputBytes);
    ScriptInput input;
    if (!DecodeScriptInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                           &input)) {
        return kUnexpected;
    }
    return RunScriptInput(input);
}

TEST(ScriptFuzzInput, ATokenOfTheLongestLengthAndOneUnitMoreFitUnderTheCap) {
    // 107 times the 38 units of %CLSID%, then 28 more: 4094 units.
    const std::u16string clsids = Repeat(std::u16string(u"%CLSID%"), 107);
    EXPECT_EQ(RunInput(0, u"HKCR { k = s '" + clsids + std::u16string(28, u'x') + u"' }"), kOk);
    EXPECT_EQ(RunInput(0, u"HKCR { k = s '" + clsids + std::u16string(29, u'x') + u"' }"),
              kDispException);

    // Two bytes a unit: 45 times a variable of 91 units, less one unit.
    const std::u16string list = u"v=" + std::u16string(91, u'x') + u'\0';
    const std::u16string refs = Repeat(std::u16string(u"%v%"), 44);
    EXPECT_EQ(RunInput(kUtf16 | kVariablesFromInput,
                       list + u"HKCR { k = s '" + refs + std::u16string(90, u'y') + u"' }"),
              kOk);
    EXPECT_EQ(RunInput(kUtf16 | kVariablesFromInput,
                       list + u"HKCR { k = s '" + refs + std::u16string(91, u'y') + u"' }"),
              kDispException);
}

TEST(ScriptFuzzInput, TheDeepestNestingAndOneLevelMoreFitUnderTheCap) {
    // o opens 16 levels and c closes them; the root block is the first of the 512 levels.
    const std::u16string list = u"o=" + Repeat(std::u16string(u"a { "), 16) + u"\x01" + u"c=" +
                                Repeat(std::u16string(u"} "), 16) + u'\0';
    const std::u16string open =
        Repeat(std::u16string(u"%o%"), 31) + Repeat(std::u16string(u"a { "), 15);
    const std::u16string close =
        Repeat(std::u16string(u"} "), 15) + Repeat(std::u16string(u"%c%"), 31);
    for (const std::uint8_t form : {std::uint8_t{0}, kUtf16}) {
        EXPECT_EQ(RunInput(form | kVariablesFromInput, list + u"HKCR { " + open + close + u"}"),
                  kOk);
        EXPECT_EQ(
            RunInput(form | kVariablesFromInput, list + u"HKCR { a { " + open + close + u"} }"),
            kDispException);
    }
}

TEST(ScriptFuzzInput, LongerInputsAndLongerExpansionsAreCutOff) {
    const std::string over(kMaxInputBytes + 1, 'x');
    ScriptInput input;
    EXPECT_FALSE(
        DecodeScriptInput(reinterpret_cast<const std::uint8_t*>(over.data()), over.size(), &input));
    // Values of 107 times 38 units stay within the budget, 108 times do not.
    const std::u16string list = u"v=" + std::u16string(38, u'x') + u'\0';
    EXPECT_EQ(RunInput(kVariablesFromInput,
                       list + u"HKCR { " + Repeat(std::u16string(u"%v% "), 107) + u"}"),
              kOk);
    EXPECT_EQ(RunInput(kVariablesFromInput,
                       list + u"HKCR { " + Repeat(std::u16string(u"%v% "), 108) + u"}"),
              kDispException);
}

}  // namespace
}  // namespace nivra::fuzzing
