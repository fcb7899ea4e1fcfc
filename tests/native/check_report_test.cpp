#include <gtest/gtest.h>

#include <string>

#include "check/report.h"
#include "check/verdicts.h"
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

// An x64 or x86 check program runs emulated on ARM64 Windows, where GetNativeSystemInfo tells an
// x64 one "x64": only IsWow64Process2's native machine names ARM64 to it.
TEST(CheckVerdicts, WindowsIsTheMachineThatIsWow64Process2NamesWhereItAnswers) {
    constexpr unsigned short kArm64 = 0xAA64, kAmd64 = 0x8664, kI386 = 0x014C;
    constexpr unsigned short kArchAmd64 = 9, kArchArm64 = 12, kArchIntel = 0;
    EXPECT_EQ(WindowsMachine(true, kArm64, kArchAmd64), Machine::kArm64);
    EXPECT_EQ(WindowsMachine(true, kArm64, kArchIntel), Machine::kArm64);
    EXPECT_EQ(WindowsMachine(true, kAmd64, kArchAmd64), Machine::kX64);
    EXPECT_EQ(WindowsMachine(true, kI386, kArchIntel), Machine::kX86);
    EXPECT_EQ(WindowsMachine(false, 0, kArchAmd64), Machine::kX64);
    EXPECT_EQ(WindowsMachine(false, 0, kArchArm64), Machine::kArm64);
    EXPECT_EQ(WindowsMachine(false, 0, kArchIntel), Machine::kX86);
    EXPECT_EQ(MachineOfImage(0), Machine::kNone);
    EXPECT_EQ(MachineOfImage(0x01C4), Machine::kOther);  // 32-bit ARM
}

// The 64-bit view is Explorer's, whose machine is Windows' own; the 32-bit view is x86
// programs' (Explorer's too on 32-bit Windows).
TEST(CheckVerdicts, EachViewTakesOnlyTheDllOfTheProgramsThatReadIt) {
    const Machine x86 = Machine::kX86, x64 = Machine::kX64, arm64 = Machine::kArm64;
    const RegistryView view64 = RegistryView::k64Bit, view32 = RegistryView::k32Bit;
    struct Case {
        Machine windows;
        RegistryView view;
        Machine dll;
        const char16_t* why;
    } const cases[] = {
        {x64, view64, x64, u""},
        {x64, view64, x86,
         u": 64-bit Explorer cannot load an x86 DLL; register the x64 DLL instead"},
        {x64, view64, arm64,
         u": 64-bit Explorer cannot load an ARM64 DLL; register the x64 DLL instead"},
        {x64, view64, Machine::kNone,
         u": 64-bit Explorer cannot load a file that is not a Windows DLL; register the x64 DLL "
         u"instead"},
        {x64, view32, x86, u""},
        {x64, view32, x64, u": 32-bit programs cannot load it; register the x86 DLL instead"},
        {arm64, view64, arm64, u""},
        {arm64, view64, x64,
         u": ARM64 Explorer cannot load an x64 DLL; register the ARM64 DLL instead"},
        {arm64, view64, x86,
         u": ARM64 Explorer cannot load an x86 DLL; register the ARM64 DLL instead"},
        {arm64, view32, x86, u""},
        {arm64, view32, arm64, u": 32-bit programs cannot load it; register the x86 DLL instead"},
        {x86, view32, x86, u""},
        {x86, view32, x64,
         u": 32-bit Explorer cannot load an x64 DLL; register the x86 DLL instead"},
    };
    for (const Case& c : cases) {
        WideString why;
        ASSERT_EQ(WhyNotLoadable(c.windows, c.view, c.dll, why), kOk);
        EXPECT_EQ(Str(why), c.why) << "case " << &c - cases;
    }
}

TEST(CheckVerdicts, AProvisionedPackageIsOursByTheClassInItsManifestOrByItsName) {
    const char kClass[] = "{18180415-7FC1-4CF5-903C-8D1556234590}";
    const std::string utf8 =
        "<Package><com:Class Id=\"18180415-7fc1-4cf5-903c-8d1556234590\" /></Package>";
    const auto bytes = [](const std::string& s) {
        return reinterpret_cast<const unsigned char*>(s.data());
    };
    EXPECT_TRUE(ManifestNamesClass(bytes(utf8), utf8.size(), kClass));
    EXPECT_FALSE(ManifestNamesClass(bytes(utf8), utf8.size() - 20, kClass)) << "cut short";
    EXPECT_FALSE(
        ManifestNamesClass(bytes(utf8), utf8.size(), "{37653C37-DEDE-49F1-A788-4E46787130D9}"));
    std::string utf16 = "\xFF\xFE";
    for (char c : utf8)
        utf16 += std::string{c, '\0'};
    EXPECT_TRUE(ManifestNamesClass(bytes(utf16), utf16.size(), kClass));
    EXPECT_FALSE(ManifestNamesClass(bytes(utf16) + 2, utf16.size() - 2, kClass))
        << "UTF-16 without its byte-order mark is not read as UTF-8";
    EXPECT_FALSE(ManifestNamesClass(bytes(utf16), 1, kClass));

    const std::u16string ours = u"nivra.ADOC_1.0.0.0_x64__3x5p1ey0sxa8c";
    EXPECT_TRUE(IsPackageNamed(ours.data(), ours.size(), kPackageName));
    for (const std::u16string other : {u"Nivra.Adocs_1.0.0.0_x64__3x5p1ey0sxa8c", u"Nivra.Adoc",
                                       u"Nivra.Ado_1.0.0.0_x64__3x5p1ey0sxa8c"}) {
        EXPECT_FALSE(IsPackageNamed(other.data(), other.size(), kPackageName));
    }
    const std::u16string inbox = u"Microsoft.BingWeather_4.25.20211.0_neutral_~_8WEKYB3D8BBWE";
    EXPECT_TRUE(IsMicrosoftPackage(inbox.data(), inbox.size()));
    EXPECT_FALSE(IsMicrosoftPackage(ours.data(), ours.size()));
    EXPECT_FALSE(IsMicrosoftPackage(u"8wekyb3d8bbwe", 13));
}

}  // namespace
}  // namespace nivra
