#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "product_paths.h"
#include "support/wine_files.h"

namespace nivra::test {
namespace {

using namespace std::chrono_literals;

struct Invocation {
    std::wstring result;                  // InvokeCommand's HRESULT in hex
    std::optional<std::string> received;  // what the stand-in application recorded
    std::wstring folder;
};

Invocation Invoke(const std::wstring& verb, const std::wstring& file, bool withApplication = true) {
    Invocation run;
    run.folder = MakeTempFolder(L"invoke");
    CopyInto(ProgramFolder() + L"handler_probe.exe", run.folder, L"handler_probe.exe");
    CopyInto(NIVRA_DLL_PATH, run.folder, L"NivraShellExt.dll");
    if (withApplication)
        CopyInto(ProgramFolder() + L"Nivra.exe", run.folder, L"Nivra.exe");
    EXPECT_EQ(
        RunProgram(run.folder + L"handler_probe.exe",
                   L"invoke \"" + run.folder + L"out.txt\" \"" + verb + L"\" \"" + file + L"\""),
        0);
    run.result = ReadUtf16File(run.folder + L"out.txt");
    // The handler does not wait for the application; an accepted command shows up soon.
    const auto wait = run.result == L"00000000" && withApplication ? 20s : 1s;
    run.received = WaitForFile(run.folder + L"Nivra.received.txt", wait);
    return run;
}

TEST(InvokeCommand, TheVerbStartsTheApplicationBesideTheModuleWithTheQuotedPath) {
    const Invocation run = Invoke(L"adoc", L"C:\\Docs\\My Report.pdf");
    EXPECT_EQ(run.result, L"00000000");
    ASSERT_TRUE(run.received.has_value());
    EXPECT_EQ(*run.received,
              "nivra -create \"C:\\Docs\\My Report.pdf\"\n" + Utf8(run.folder) + "Nivra.exe\n");
}

TEST(InvokeCommand, OffsetZeroActsAsTheVerbAndKeepsEveryCharacterOfThePath) {
    const std::wstring path = L"C:\\Docs\\a;&%^' \x012E\x0105 \xD801\xDC37.docx";
    const Invocation run = Invoke(L"#0", path);
    EXPECT_EQ(run.result, L"00000000");
    ASSERT_TRUE(run.received.has_value());
    EXPECT_EQ(run.received->substr(0, run.received->find('\n')),
              "nivra -create \"" + Utf8(path) + "\"");
}

TEST(InvokeCommand, WithoutASelectionTheApplicationGetsAnEmptyQuotedArgument) {
    const Invocation run = Invoke(L"adoc", L"");
    EXPECT_EQ(run.result, L"00000000");
    ASSERT_TRUE(run.received.has_value());
    EXPECT_EQ(run.received->substr(0, run.received->find('\n')), "nivra -create \"\"");
}

TEST(InvokeCommand, OtherVerbsAndOffsetsAreRefusedAndStartNothing) {
    for (const wchar_t* verb : {L"ADOC", L"adoc ", L"Adoc", L"adocx", L"#1", L"#7"}) {
        const Invocation run = Invoke(verb, L"C:\\a.pdf");
        EXPECT_EQ(run.result, L"80004005") << Utf8(verb);
        EXPECT_FALSE(run.received.has_value()) << Utf8(verb);
    }
}

TEST(InvokeCommand, ANullRecordIsAnInvalidArgument) {
    const Invocation run = Invoke(L"null", L"C:\\a.pdf");
    EXPECT_EQ(run.result, L"80070057");
    EXPECT_FALSE(run.received.has_value());
}

TEST(InvokeCommand, AMissingApplicationIsNotReported) {
    const Invocation run = Invoke(L"adoc", L"C:\\a.pdf", false);
    EXPECT_EQ(run.result, L"00000000");
    EXPECT_FALSE(run.received.has_value());
}

}  // namespace
}  // namespace nivra::test
