#include <gtest/gtest.h>

#include <string>

#include "check/report.h"
#include "common/heap_test_hooks.h"

namespace nivra {
namespace {

std::u16string Str(const WideString& s) {
    return std::u16string(s.Text(), s.Length());
}

WideString Text(const char16_t* text) {
    WideString s;
    EXPECT_EQ(s.Assign(text), kOk);
    return s;
}

TEST(CheckReport, TheSummaryAndTheExitCodeSayWhetherAProblemWasFound) {
    CheckReport report;
    ASSERT_EQ(report.Add(FindingKind::kOk, Text(u"registered")), kOk);
    ASSERT_EQ(report.Add(FindingKind::kNote, Text(u"English")), kOk);
    WideString out;
    ASSERT_EQ(report.FormatText(out), kOk);
    EXPECT_EQ(Str(out),
              u"ok: registered\nnote: English\n"
              u"summary: nothing stands in the way: the command shows for this user\n");
    EXPECT_EQ(report.ExitCode(), 0);
    ASSERT_EQ(report.Add(FindingKind::kProblem, Text(u"C:\\app\\Nivra.exe is missing")), kOk);
    out.Clear();
    ASSERT_EQ(report.FormatText(out), kOk);
    EXPECT_NE(Str(out).find(u"problem: C:\\app\\Nivra.exe is missing\n"
                            u"summary: 1 problem stands in the way of the command\n"),
              std::u16string::npos);
    EXPECT_EQ(report.ExitCode(), 1);
}

TEST(CheckReport, JsonCarriesTheSameFindingsWithEveryCharacterEscaped) {
    CheckReport report;
    ASSERT_EQ(report.Add(FindingKind::kProblem, Text(u"a \"quoted\" C:\\path\n\x01\x0105")), kOk);
    WideString out;
    ASSERT_EQ(report.FormatJson(out), kOk);
    EXPECT_EQ(Str(out),
              u"{\"findings\":[{\"kind\":\"problem\",\"text\":\"a \\\"quoted\\\" C:\\\\path\\u000a"
              u"\\u0001\x0105\"}],\"problems\":1,\"summary\":\"1 problem stands in the way of the "
              u"command\",\"exitCode\":1}\n");
}

// A report never drops a problem from its count, even past its capacity.
TEST(CheckReport, ProblemsPastTheCapacityStillCountAndOutOfMemoryIsReported) {
    CheckReport report;
    for (std::size_t i = 0; i < CheckReport::kCapacity + 5; ++i)
        ASSERT_EQ(report.Add(FindingKind::kProblem, Text(u"x")), kOk);
    EXPECT_EQ(report.Count(), CheckReport::kCapacity);
    EXPECT_EQ(report.Problems(), CheckReport::kCapacity + 5);
    WideString out;
    testing::FailAllocationsAfter(0);
    EXPECT_EQ(report.FormatJson(out), kOutOfMemory);
    testing::StopFailingAllocations();
}

}  // namespace
}  // namespace nivra
