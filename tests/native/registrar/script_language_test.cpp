#include <string>

#include "common/heap.h"
#include "registrar/script_buffer.h"
#include "registrar/script_tables.h"
#include "registrar/script_tokenizer.h"
#include "registrar/value_encoding.h"
#include "registrar/variable_expansion.h"
#include "test_support.h"

namespace nivra::testing {
namespace {

struct Token {
    TokenBuffer units;
};

struct Expanded {
    HResult result;
    std::u16string text;
};

Expanded Expand(const std::u16string& script, const Variables& variables = Variables()) {
    char16_t* out = reinterpret_cast<char16_t*>(1);
    const HResult result = ExpandVariables(script.c_str(), variables, &out);
    Expanded expanded{result, out != nullptr ? std::u16string(out) : u"<null>"};
    MemFree(out);
    return expanded;
}

std::vector<std::u16string> Tokens(const std::u16string& text, HResult* last = nullptr) {
    CScriptTokenizer tokenizer(text.c_str());
    auto holder = std::make_unique<Token>();
    TokenBuffer* token = &holder->units;
    std::vector<std::u16string> tokens;
    HResult result;
    while (Succeeded(result = tokenizer.ReadToken(*token)))
        tokens.push_back(*token);
    if (last != nullptr)
        *last = result;
    return tokens;
}

TEST(VariableExpansion, ReplacesNamesCaseBlindAndLeavesInsertedTextUnscanned) {
    AllocationGuard guard;
    const Variables variables{{u"CLSID", u"{1}"}, {u"Odd", u"%CLSID% 'x'"}};
    EXPECT_EQ(Expand(u"a %clsid% b %ODD%", variables).text, u"a {1} b %CLSID% 'x'");
    EXPECT_EQ(Expand(u"'%CLSID%'", variables).text, u"'{1}'");
}

TEST(VariableExpansion, DoubledPercentGivesOnePercent) {
    EXPECT_EQ(Expand(u"100%% sure").text, u"100% sure");
    EXPECT_EQ(Expand(u"").text, u"");
}

TEST(VariableExpansion, UnknownOrUnterminatedNamesAreSyntaxErrorsAndReturnNothing) {
    AllocationGuard guard;
    EXPECT_EQ(Expand(u"a %NOPE% b").result, kDispException);
    EXPECT_EQ(Expand(u"a %NOPE% b").text, u"<null>");
    EXPECT_EQ(Expand(u"trailing %").result, kDispException);
    EXPECT_EQ(Expand(u"%open name").result, kDispException);
}

TEST(VariableExpansion, NamesOfMoreThan31CharactersFailEvenWhenDefined) {
    const std::u16string name31(31, u'n');
    const std::u16string name32(32, u'n');
    const Variables variables{{name31, u"ok"}, {name32, u"never"}};
    EXPECT_EQ(Expand(u"%" + name31 + u"%", variables).text, u"ok");
    EXPECT_EQ(Expand(u"%" + name32 + u"%", variables).result, kFail);
}

TEST(VariableExpansion, NullArgumentsArePointerErrors) {
    char16_t* out = nullptr;
    EXPECT_EQ(ExpandVariables(nullptr, Variables(), &out), kPointer);
    EXPECT_EQ(ExpandVariables(u"x", Variables(), nullptr), kPointer);
}

TEST(VariableExpansion, RunningOutOfMemoryAtAnyStepFailsWithoutLeaking) {
    AllocationGuard guard;
    // Long enough to need several doublings of the 1000-character first capacity.
    const Variables variables{{u"V", std::u16string(3000, u'v')}};
    for (std::size_t successes = 0; successes < 2; ++successes) {  // first block, one growth
        FailAllocationsAfter(successes);
        EXPECT_EQ(Expand(u"x%V%y", variables).result, kOutOfMemory) << successes;
    }
    StopFailingAllocations();
    EXPECT_EQ(Expand(u"x%V%y", variables).text.size(), 3002u);
}

TEST(ScriptBuffer, StartsAtTwiceTheScriptOrAThousandAndDoublesPastTheNeed) {
    CScriptBuffer small;
    ASSERT_EQ(small.Init(49), kOk);
    EXPECT_EQ(small.Capacity(), 1000u);
    CScriptBuffer large;
    ASSERT_EQ(large.Init(50), kOk);
    EXPECT_EQ(large.Capacity(), 100u);
    const std::u16string text(99, u'x');
    ASSERT_EQ(large.Append(text.c_str(), 99), kOk);  // 99 + 1 reaches 100
    EXPECT_EQ(large.Capacity(), 200u);
    ASSERT_EQ(large.Append(text.c_str(), 99), kOk);
    ASSERT_EQ(large.Append(text.c_str(), 99), kOk);
    EXPECT_EQ(large.Capacity(), 400u);
    EXPECT_EQ(std::u16string(large.Text()), text + text + text);
    MemFree(large.Detach());
}

TEST(Tokenizer, SplitsOnExactlyTheFourBlanks) {
    EXPECT_EQ(Tokens(u" a\tb\r\nc  "), (std::vector<std::u16string>{u"a", u"b", u"c"}));
    EXPECT_EQ(Tokens(u"a\fb\vc"), (std::vector<std::u16string>{u"a\fb\vc"}));
    EXPECT_EQ(Tokens(u"key{ =s"), (std::vector<std::u16string>{u"key{", u"=s"}));
}

TEST(Tokenizer, QuotedTokensUndoubleQuotesAndMayBeFollowedDirectly) {
    EXPECT_EQ(Tokens(u"'it''s'"), (std::vector<std::u16string>{u"it's"}));
    EXPECT_EQ(Tokens(u"'a'b"), (std::vector<std::u16string>{u"a", u"b"}));
    EXPECT_EQ(Tokens(u"'' 'x { = y'"), (std::vector<std::u16string>{u"", u"x { = y"}));
    EXPECT_EQ(Tokens(u"it's"), (std::vector<std::u16string>{u"it's"}));
}

TEST(Tokenizer, EndOfTextAndUnterminatedQuotesAreSyntaxErrors) {
    HResult last = kOk;
    EXPECT_EQ(Tokens(u"a 'open", &last).size(), 1u);
    EXPECT_EQ(last, kDispException);
    EXPECT_TRUE(Tokens(u"   ", &last).empty());
    EXPECT_EQ(last, kDispException);
}

TEST(Tokenizer, TokensHoldAtMost4094Units) {
    HResult last = kOk;
    EXPECT_EQ(Tokens(std::u16string(4094, u'x'), &last).at(0).size(), 4094u);
    EXPECT_TRUE(Tokens(std::u16string(4095, u'x'), &last).empty());
    EXPECT_TRUE(Tokens(u"'" + std::u16string(4095, u'x') + u"'", &last).empty());
    // Counted after undoubling: 4094 quotes written as 8188.
    EXPECT_EQ(Tokens(u"'" + std::u16string(8188, u'\'') + u"'").at(0).size(), 4094u);
}

TEST(Tokenizer, ASurrogatePairIsOneCharacterButTwoUnitsOfTheLimit) {
    const std::u16string pair = u"\xD83D\xDE00";
    EXPECT_EQ(Tokens(u"a" + pair + u" b").at(0), u"a" + pair);
    HResult last = kOk;
    // 4093 units and a pair would need 4095: refused whole rather than split.
    EXPECT_TRUE(Tokens(std::u16string(4093, u'x') + pair, &last).empty());
    EXPECT_EQ(last, kDispException);
}

TEST(Tokenizer, SkipValueClauseReadsTypeValueAndTheFollowingToken) {
    auto holder = std::make_unique<Token>();
    TokenBuffer* token = &holder->units;
    CScriptTokenizer tokenizer(u"= q 'v a l' next");
    ASSERT_EQ(tokenizer.ReadToken(*token), kOk);
    ASSERT_EQ(tokenizer.SkipValueClause(*token), kOk);
    EXPECT_EQ(std::u16string(*token), u"next");
    ASSERT_EQ(tokenizer.SkipValueClause(*token), kOk);  // not "=": nothing read
    EXPECT_EQ(std::u16string(*token), u"next");
}

TEST(ScriptTables, RootNamesMatchCaseBlindInBothForms) {
    EXPECT_EQ(RootKeyFromName(u"hkcr"), kClassesRoot);
    EXPECT_EQ(RootKeyFromName(u"HkEy_ClAsSeS_rOoT"), kClassesRoot);
    EXPECT_EQ(RootKeyFromName(u"HKDD"), PredefinedKey(0x80000006u));
    EXPECT_EQ(RootKeyFromName(u"HKEY_DYN_DATA"), PredefinedKey(0x80000006u));
    EXPECT_EQ(RootKeyFromName(u"HKCC"), PredefinedKey(0x80000005u));
    EXPECT_EQ(RootKeyFromName(u"HKU"), PredefinedKey(0x80000003u));
    EXPECT_EQ(RootKeyFromName(u"HKCR\f{"), kNoKey);
}

TEST(ScriptTables, TypeLettersAndProtectedNamesAreWholeCaseBlindNames) {
    EXPECT_EQ(ValueTypeFromLetter(u"b"), ScriptValueType::kBinary);
    EXPECT_EQ(ValueTypeFromLetter(u"M"), ScriptValueType::kMultiString);
    EXPECT_EQ(ValueTypeFromLetter(u"SZ"), ScriptValueType::kNone);
    EXPECT_TRUE(IsProtectedKeyName(u"component categories"));
    EXPECT_TRUE(IsProtectedKeyName(u"MIME"));
    EXPECT_FALSE(IsProtectedKeyName(u"CLSIDs"));
}

TEST(ValueEncoding, DwordTakesPlainDecimalDigitsUpTo32Bits) {
    std::uint32_t value = 7;
    EXPECT_TRUE(ParseDword(u"4294967295", &value));
    EXPECT_EQ(value, 0xFFFFFFFFu);
    for (const char16_t* bad : {u"", u"4294967296", u"-1", u"12x", u"0x10", u" 1"})
        EXPECT_FALSE(ParseDword(bad, &value)) << Narrow(bad);
}

}  // namespace
}  // namespace nivra::testing
