#include <algorithm>
#include <string>
#include <vector>

#include "test_support.h"

namespace nivra::testing {
namespace {

using Lines = std::vector<std::string>;

class Interpreter : public ::testing::Test {
  protected:
    void TearDown() override { EXPECT_EQ(registry.OpenHandles(), 0u) << "handles left open"; }
    HResult Register(const std::u16string& script) { return RunScript(registry, script, true); }
    HResult Unregister(const std::u16string& script) { return RunScript(registry, script, false); }

    AllocationGuard guard;
    MemoryRegistry registry;
};

TEST_F(Interpreter, AnEmptyScriptRunsNothingButBlanksAloneAreASyntaxError) {
    EXPECT_EQ(Register(u""), kOk);
    EXPECT_EQ(Register(u" \r\n"), kDispException);
    EXPECT_EQ(Register(u"HKXX { }"), kDispException);
    EXPECT_EQ(Register(u"HKCR a }"), kDispException);
    EXPECT_EQ(Register(u"HKCR { a"), kDispException);
}

TEST_F(Interpreter, RegisterWritesEachEncodingWithExactBytes) {
    ASSERT_EQ(Register(u"HKCR { k = s 'a b' { val S = S '' val M = m one\\0two "
                       u"val M2 = m a\\0\\0b val D = d 123 val B = b 0A1b val B0 = b '' "
                       u"val Bx = b zz1G val 'x\\y' = s v } }"),
              kOk);
    EXPECT_EQ(registry.Dump(), (Lines{
                                   "HKCR\\k",
                                   "HKCR\\k|=S:a b",
                                   "HKCR\\k|B0=3:",
                                   "HKCR\\k|B=3:0a1b",
                                   "HKCR\\k|Bx=3:0010",
                                   "HKCR\\k|D=4:7b000000",
                                   "HKCR\\k|M2=7:610000000000",
                                   "HKCR\\k|M=7:6f006e0065000000740077006f0000000000",
                                   "HKCR\\k|S=S:",
                                   "HKCR\\k|x\\y=S:v",
                               }));
}

TEST_F(Interpreter, BadValuesFailAndWriteNothing) {
    EXPECT_EQ(Register(u"HKCR { k = b abc }"), kFail);
    EXPECT_EQ(Register(u"HKCR { k = x 1 }"), kDispException);
    EXPECT_EQ(Register(u"HKCR { k = d 12a }"), kDispException);
    EXPECT_EQ(Register(u"HKCR { k = d 4294967296 }"), kDispException);
    EXPECT_EQ(Register(u"HKCR { k { val v s 1 } }"), kDispException);
    EXPECT_EQ(registry.FindValue("HKCR\\k", ""), nullptr);
}

TEST_F(Interpreter, RegisteringTwiceGivesTheSameTreeAndForceRemoveDropsStaleSubkeys) {
    const std::u16string script =
        u"HKCR { ForceRemove f = s 1 { sub = s 2 } NoRemove n { val v = s 3 } }";
    ASSERT_EQ(Register(script), kOk);
    const Lines once = registry.Dump();
    registry.AddKey("HKCR\\f\\stale\\deeper");
    registry.AddString("HKCR\\n", "other", "kept");
    ASSERT_EQ(Register(script), kOk);
    Lines expected = once;
    expected.push_back("HKCR\\n|other=S:kept");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(registry.Dump(), expected);
}

TEST_F(Interpreter, ForceRemoveAndDeleteSpareProtectedNamesAndIgnoreAbsentKeys) {
    registry.AddKey("HKCR\\CLSID\\old");
    registry.AddKey("HKCR\\gone\\child");
    ASSERT_EQ(Register(u"HKCR { ForceRemove clsid { x } ForceRemove absent "
                       u"Delete gone = s ignored Delete Mime }"),
              kOk);
    EXPECT_TRUE(registry.HasKey("HKCR\\CLSID\\old"));
    EXPECT_TRUE(registry.HasKey("HKCR\\CLSID\\x"));
    EXPECT_TRUE(registry.HasKey("HKCR\\absent"));
    EXPECT_FALSE(registry.HasKey("HKCR\\gone"));
}

TEST_F(Interpreter, KeyNamesWithABackslashAreSyntaxErrorsInBothPasses) {
    EXPECT_EQ(Register(u"HKCR { a\\b }"), kDispException);
    EXPECT_EQ(Unregister(u"HKCR { a\\b }"), kDispException);
    EXPECT_EQ(Register(u"HKCR { ForceRemove a\\b }"), kDispException);
    EXPECT_FALSE(registry.HasKey("HKCR\\a"));
}

TEST_F(Interpreter, ABlockAfterANamedValueOrADeleteEntryIsASyntaxErrorInBothPasses) {
    for (const char16_t* script : {u"HKCR { k { val v = s 1 { x } } }", u"HKCR { Delete k { x } }",
                                   u"HKCR { Delete k = s 1 { x } }"}) {
        EXPECT_EQ(Register(script), kDispException) << Narrow(script);
        EXPECT_EQ(Unregister(script), kDispException) << Narrow(script);
        EXPECT_FALSE(registry.HasKey("HKCR\\x"));
    }
}

TEST_F(Interpreter, AKeyOpenOnlyForReadingIsUsedAndWritingIntoItIsDenied) {
    registry.MakeReadOnly("HKCR\\ro");
    EXPECT_EQ(Register(u"HKCR { ro { child } }"), HResultFromWin32(5));
    EXPECT_EQ(Register(u"HKCR { ro = s x }"), HResultFromWin32(5));
    EXPECT_TRUE(registry.HasKey("HKCR\\ro"));
}

TEST_F(Interpreter, KeyNamesOverTheRegistrysLimitFailInBothPasses) {
    const std::u16string name(300, u'k');
    // The registry refuses names over 255 units in every call: its error is the result.
    EXPECT_EQ(Register(u"HKCR { " + name + u" }"), HResultFromWin32(87));
    registry.AddKey("HKCR\\a");
    EXPECT_EQ(Unregister(u"HKCR { " + name + u" { val v = s 1 } a }"), HResultFromWin32(87));
    EXPECT_TRUE(registry.HasKey("HKCR\\a"));
}

TEST_F(Interpreter, AnEmptyKeyNameNeverDeletesItsParentOrTheParentsContent) {
    registry.AddKey("HKCR\\p\\child");
    ASSERT_EQ(Register(u"HKCR { NoRemove p { ForceRemove '' { val v = s 1 } } }"), kOk);
    EXPECT_TRUE(registry.HasKey("HKCR\\p\\child"));
    EXPECT_EQ(registry.StringValue("HKCR\\p", "v"), "1");
    registry.AddKey("HKCR\\q");
    EXPECT_EQ(Unregister(u"HKCR { q { '' } }"), HResultFromWin32(87));
    EXPECT_TRUE(registry.HasKey("HKCR\\q"));
}

TEST_F(Interpreter, UnregisterRemovesWhatTheScriptDescribesUnlessKeptByNoRemoveOrSubkeys) {
    const std::u16string script =
        u"HKCR { NoRemove keep { leaf = s 1 { val v = s 2 } full { a } } plain = s 3 }";
    ASSERT_EQ(Register(script), kOk);
    registry.AddKey("HKCR\\keep\\full\\foreign");
    registry.AddString("HKCR\\plain", "extra", "value");
    ASSERT_EQ(Unregister(script), kOk);
    EXPECT_EQ(registry.Dump(),
              (Lines{"HKCR\\keep", "HKCR\\keep\\full", "HKCR\\keep\\full\\foreign"}));
    // Everything already gone, a missing named value included: still success.
    EXPECT_EQ(Unregister(script), kOk);
    EXPECT_EQ(Unregister(u"HKCR { NoRemove keep { val missing = s 1 } }"), kOk);
}

TEST_F(Interpreter, UnregisterTreatsForceRemoveAndDeleteEntriesAsPlainKeys) {
    registry.AddKey("HKCR\\f");
    registry.AddKey("HKCR\\d");
    registry.AddKey("HKCR\\CLSID");
    ASSERT_EQ(Unregister(u"HKCR { ForceRemove f Delete d = s x ForceRemove CLSID }"), kOk);
    EXPECT_EQ(registry.Dump(), Lines{});
}

TEST_F(Interpreter, ANoRemoveKeyAfterADeleteEntryRegistersUnregistersAndRollsBack) {
    // The register pass deletes a key named "NoRemove", then reads "x { sub }" as an entry; the
    // unregister pass reads the same text as if "Delete" were absent.
    const std::u16string script = u"HKCR { Delete NoRemove x { sub } other }";
    ASSERT_EQ(Register(script), kOk);
    EXPECT_EQ(registry.Dump(), (Lines{"HKCR\\other", "HKCR\\x", "HKCR\\x\\sub"}));
    ASSERT_EQ(Unregister(script), kOk);
    EXPECT_EQ(registry.Dump(), Lines{"HKCR\\x"});
    registry.FailCall(RegOp::kCreate, "bad", 5);
    EXPECT_EQ(Register(u"HKCR { Delete NoRemove x { sub } other bad }"), HResultFromWin32(5));
    EXPECT_EQ(registry.Dump(), Lines{"HKCR\\x"});
}

TEST_F(Interpreter, ARootOpenedAgainThroughAnEmptyNameIsNeverClosed) {
    ASSERT_EQ(Register(u"HKCU { '' = s 1 val v = s 2 }"), kOk);
    EXPECT_EQ(Unregister(u"HKCU { val v = s 2 }"), kOk);
    EXPECT_EQ(Unregister(u"HKCU { '' }"), HResultFromWin32(87));
    EXPECT_EQ(std::count(registry.Calls().begin(), registry.Calls().end(), "close HKCU"), 0);
    EXPECT_EQ(registry.Dump(), Lines{"HKCU|=S:1"});
}

TEST_F(Interpreter, ABlockUnderAMissingKeyIsReadWithoutTouchingTheRegistry) {
    registry.AddKey("HKCR\\inner");  // same name as an entry of the skipped block
    registry.ResetCalls();
    ASSERT_EQ(Unregister(u"HKCR { missing { inner { deeper } val v = s 1 } }"), kOk);
    EXPECT_EQ(registry.Calls(), Lines{"open HKCR missing"});
    EXPECT_TRUE(registry.HasKey("HKCR\\inner"));
}

TEST_F(Interpreter, ASyntaxErrorInsideASkippedBlockStillEndsTheRun) {
    // Going on after "y" would read "victim" as a key of HKCR and delete it.
    registry.AddKey("HKCR\\victim");
    EXPECT_EQ(Unregister(u"HKCR { missing { val x y victim } }"), kDispException);
    EXPECT_TRUE(registry.HasKey("HKCR\\victim"));
}

TEST_F(Interpreter, UnregisterReportsRegistryFailuresOtherThanNotFound) {
    registry.AddKey("HKCR\\a");
    registry.FailCall(RegOp::kOpen, "a", 5);
    EXPECT_EQ(Unregister(u"HKCR { a { b } }"), HResultFromWin32(5));
    registry.FailCall(RegOp::kClose, "", 6);
    EXPECT_EQ(Unregister(u"HKCR { a }"), HResultFromWin32(6));
    registry.FailCall(RegOp::kDeleteKey, "a", 1);
    EXPECT_EQ(Unregister(u"HKCR { a }"), HResultFromWin32(1));
    registry.FailCall(RegOp::kDeleteValue, "v", 5);
    EXPECT_EQ(Unregister(u"HKCR { NoRemove a { val v = s 1 } }"), HResultFromWin32(5));
    EXPECT_TRUE(registry.HasKey("HKCR\\a"));
}

TEST_F(Interpreter, AFailedRootBlockIsRolledBackAloneIncludingKeysThatExistedBefore) {
    registry.AddString("HKCU\\old", "", "before");
    registry.AddKey("HKCU\\shared\\foreign");
    registry.FailCall(RegOp::kCreate, "bad", 5);
    const std::u16string script =
        u"HKCR { first = s 1 } "
        u"HKCU { old = s 2 NoRemove kept { } shared { } new { x } bad after }";
    EXPECT_EQ(Register(script), HResultFromWin32(5));
    EXPECT_EQ(registry.Dump(), (Lines{"HKCR\\first", "HKCR\\first|=S:1", "HKCU\\kept",
                                      "HKCU\\shared", "HKCU\\shared\\foreign"}));
}

TEST_F(Interpreter, AFailedUnregisterKeepsWhatItRemovedBeforeTheFailure) {
    ASSERT_EQ(Register(u"HKCR { a b c }"), kOk);
    registry.FailCall(RegOp::kDeleteKey, "b", 5);
    EXPECT_EQ(Unregister(u"HKCR { a b c }"), HResultFromWin32(5));
    EXPECT_EQ(registry.Dump(), (Lines{"HKCR\\b", "HKCR\\c"}));
}

TEST_F(Interpreter, NestingDeeperThanTheRegistryAllowsIsASyntaxError) {
    std::u16string deep = u"HKCR {";
    for (unsigned i = 0; i < kMaxBlockDepth; ++i)
        deep += u" k {";
    deep += std::u16string(kMaxBlockDepth + 1, u'}');
    EXPECT_EQ(Unregister(deep), kDispException);
}

TEST_F(Interpreter, LargeMultiStringAndBinaryBuffersReportAllocationFailure) {
    const std::u16string many(200, u'a');
    FailAllocationsAfter(1);  // the expanded script only
    EXPECT_EQ(Register(u"HKCR { k = m " + many + u" }"), kOutOfMemory);
    FailAllocationsAfter(1);
    EXPECT_EQ(Register(u"HKCR { k = b " + std::u16string(600, u'0') + u" }"), kFail);
    StopFailingAllocations();
    ASSERT_EQ(Register(u"HKCR { k = b " + std::u16string(600, u'f') + u" }"), kOk);
    EXPECT_EQ(registry.FindValue("HKCR\\k", "")->data, std::vector<std::uint8_t>(300, 0xFF));
}

TEST_F(Interpreter, AnExpansionFailureLeavesTheRegistryUntouched) {
    FailAllocationsAfter(0);
    EXPECT_EQ(Register(u"HKCR { k }"), kOutOfMemory);
    StopFailingAllocations();
    EXPECT_EQ(Register(u"HKCR { k = s %UNKNOWN% }"), kDispException);
    EXPECT_TRUE(registry.Calls().empty());
}

}  // namespace
}  // namespace nivra::testing
