// The interpreter's scripts against the in-memory registry and the real one: same results,
// same trees (names, value names, types, bytes).
#include <string>
#include <vector>

#include "twin_registry.h"

namespace nivra::testing {
namespace {

using Faithful = TwinRegistry;
constexpr bool kRegister = true;
constexpr bool kUnregister = false;

TEST_F(Faithful, EveryEncodingWritesTheSameBytesAndUnregisterRemovesThem) {
    const std::u16string script =
        u"HKCR { k = s 'a b' { val S = S '' val M = m one\\0two val M2 = m a\\0\\0b "
        u"val D = d 123 val B = b 0A1b val B0 = b '' val Bx = b zz1G val 'x\\y' = s v "
        u"val Big = b " +
        std::u16string(600, u'f') + u" val Many = m " + std::u16string(200, u'a') + u" } }";
    Both(script, kRegister, kOk);
    EXPECT_EQ(real.Dump().size(), 12u);
    Both(script, kUnregister, kOk);
    EXPECT_TRUE(real.Dump().empty());
}

TEST_F(Faithful, BadValuesFailTheSameWay) {
    Both(u"HKCR { k = b abc }", kRegister, kFail);
    Both(u"HKCR { k = x 1 }", kRegister, kDispException);
    Both(u"HKCR { k = d 12a }", kRegister, kDispException);
    Both(u"HKCR { k { val v s 1 } }", kRegister, kDispException);
    Both(u"HKCR { a\\b }", kRegister, kDispException);
    Both(u"HKCR { k { val v = s 1 { x } } }", kRegister, kDispException);
}

TEST_F(Faithful, RegisteringTwiceAndForceRemoveRebuildTheSameTree) {
    const std::u16string script =
        u"HKCR { ForceRemove f = s 1 { sub = s 2 } NoRemove n { val v = s 3 } }";
    Both(script, kRegister, kOk);
    AddKey("HKCR\\f\\stale\\deeper");
    AddString("HKCR\\n", "other", "kept");
    Both(script, kRegister, kOk);
    EXPECT_EQ(real.Dump().size(), 7u);
}

TEST_F(Faithful, ForceRemoveAndDeleteSpareProtectedNamesAndIgnoreAbsentKeys) {
    AddKey("HKCR\\CLSID\\old");
    AddKey("HKCR\\gone\\child\\grandchild");
    AddString("HKCR\\gone\\child", "v", "x");
    Both(
        u"HKCR { ForceRemove clsid { x } ForceRemove absent Delete gone = s ignored "
        u"Delete Mime }",
        kRegister, kOk);
    Both(u"HKCR { ForceRemove f Delete d = s x ForceRemove CLSID { x old } absent }", kUnregister,
         kOk);
}

TEST_F(Faithful, UnregisterKeepsNoRemoveKeysAndKeysWithForeignSubkeys) {
    const std::u16string script =
        u"HKCR { NoRemove keep { leaf = s 1 { val v = s 2 } full { a } } plain = s 3 }";
    Both(script, kRegister, kOk);
    AddKey("HKCR\\keep\\full\\foreign");
    AddString("HKCR\\plain", "extra", "value");
    Both(script, kUnregister, kOk);
    EXPECT_EQ(real.Dump(), (std::vector<std::string>{"HKCR\\keep", "HKCR\\keep\\full",
                                                     "HKCR\\keep\\full\\foreign"}));
    Both(script, kUnregister, kOk);
    Both(u"HKCR { NoRemove keep { val missing = s 1 } }", kUnregister, kOk);
}

TEST_F(Faithful, SkippedBlocksTouchNothingAndTheirSyntaxErrorsStillEndTheRun) {
    AddKey("HKCR\\inner");
    AddKey("HKCR\\victim");
    Both(u"HKCR { missing { inner { deeper } val v = s 1 } }", kUnregister, kOk);
    Both(u"HKCR { missing { val x y victim } }", kUnregister, kDispException);
}

// Wine ignores a key's permissions, so real failures come from names over the limit instead.
TEST_F(Faithful, AFailedRootBlockIsRolledBackAloneIncludingKeysThatExistedBefore) {
    AddString("HKCU\\old", "", "before");
    AddKey("HKCU\\shared\\foreign");
    const std::u16string tooLong(300, u'x');
    Both(
        u"HKCR { first = s 1 } "
        u"HKCU { old = s 2 NoRemove kept { } shared { } new { x } bad = b 123 after }",
        kRegister, kFail);
    EXPECT_EQ(real.Dump(),
              (std::vector<std::string>{"HKCR\\first", "HKCR\\first|=S:1", "HKCU\\kept",
                                        "HKCU\\shared", "HKCU\\shared\\foreign"}));
    // The roll-back stops where the failure was: the long name fails again when opened.
    Both(u"HKLM { made = s 1 { inner } " + tooLong + u" after }", kRegister, HResultFromWin32(87));
    EXPECT_EQ(real.Dump().size(), 5u);
}

TEST_F(Faithful, AFailedUnregisterKeepsWhatItRemovedBeforeTheFailure) {
    Both(u"HKCR { a b c }", kRegister, kOk);
    Both(u"HKCR { a " + std::u16string(300, u'b') + u" c }", kUnregister, HResultFromWin32(87));
    EXPECT_EQ(real.Dump(), (std::vector<std::string>{"HKCR\\b", "HKCR\\c"}));
}

TEST_F(Faithful, AnEmptyKeyNameNeverTakesItsParentOrTheParentsContent) {
    AddKey("HKCR\\p\\child");
    AddKey("HKCR\\q");
    Both(u"HKCR { NoRemove p { ForceRemove '' { val v = s 1 } } }", kRegister, kOk);
    Both(u"HKCR { q { '' } }", kUnregister, HResultFromWin32(87));
    EXPECT_EQ(real.Dump(),
              (std::vector<std::string>{"HKCR\\p", "HKCR\\p\\child", "HKCR\\p|v=S:1", "HKCR\\q"}));
}

TEST_F(Faithful, NamesDifferingOnlyInCaseMeetTheSameKeyAndValue) {
    Both(u"HKCR { Abc { val Name = s 1 } }", kRegister, kOk);
    Both(u"HKCR { ABC { val NAME = s 2 } abc = s 3 }", kRegister, kOk);
    Both(u"HKCR { aBC { val name = s 2 } }", kUnregister, kOk);
}

TEST_F(Faithful, KeyNamesAtAndOverTheRegistrysLimit) {
    const std::u16string longest(255, u'k');
    // Wine takes 256 units where Windows stops at 255; 300 is too long for both.
    const std::u16string tooLong(300, u'k');
    Both(u"HKCR { " + longest + u" = s 1 }", kRegister, kOk);
    Both(u"HKCR { ForceRemove " + longest + u" }", kRegister, kOk);
    Both(u"HKCR { " + longest + u" }", kUnregister, kOk);
    Both(u"HKCR { " + tooLong + u" }", kRegister, HResultFromWin32(87));
    Both(u"HKCR { " + tooLong + u" { inner } }", kUnregister, HResultFromWin32(87));
}

}  // namespace
}  // namespace nivra::testing
