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

enum class Application { kPresent, kMissing, kDirectory };

Invocation Invoke(const std::wstring& verb, const std::wstring& file,
                  Application application = Application::kPresent, const wchar_t* mode = L"") {
    Invocation run;
    run.folder = MakeTempFolder(L"invoke");
    CopyInto(ProgramFolder() + L"handler_probe.exe", run.folder, L"handler_probe.exe");
    CopyInto(NIVRA_DLL_PATH, run.folder, NIVRA_DLL_FILE_NAME);
    if (application == Application::kPresent)
        CopyInto(ProgramFolder() + L"Nivra.exe", run.folder, L"Nivra.exe");
    if (application == Application::kDirectory)
        ::CreateDirectoryW((run.folder + L"Nivra.exe").c_str(), nullptr);
    EXPECT_EQ(
        RunProgram(run.folder + L"handler_probe.exe", L"invoke \"" + run.folder + L"out.txt\" \"" +
                                                          verb + L"\" \"" + file + L"\" " + mode),
        0);
    run.result = ReadUtf16File(run.folder + L"out.txt");
    // The handler does not wait for the application; an accepted command shows up soon.
    const auto wait = run.result == L"00000000" && application == Application::kPresent ? 20s : 1s;
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

// Without a screen no box can be shown, so these are the answers with and without
// CMIC_MASK_FLAG_NO_UI alike; the boxes themselves are tested on a virtual screen.
TEST(InvokeCommand, AStartThatFailsIsReportedWithTheSystemsError) {
    for (const wchar_t* mode : {L"noui", L""}) {
        const Invocation missing = Invoke(L"adoc", L"C:\\a.pdf", Application::kMissing, mode);
        EXPECT_EQ(missing.result, L"80070002") << Utf8(mode);  // ERROR_FILE_NOT_FOUND
        const Invocation folder = Invoke(L"adoc", L"C:\\a.pdf", Application::kDirectory, mode);
        // ERROR_ACCESS_DENIED on Windows; Wine's CreateProcessW says ERROR_INVALID_HANDLE.
        EXPECT_TRUE(folder.result == L"80070005" || folder.result == L"80070006")
            << Utf8(mode) << " " << Utf8(folder.result);
        EXPECT_FALSE(missing.received.has_value() || folder.received.has_value());
    }
}

// Windows refuses a command line over 32,767 units; Wine would start it, cut. The handler
// refuses it first, so both behave as Windows does.
TEST(InvokeCommand, ACommandLineLongerThanTheSystemTakesIsRefusedBeforeTheStart) {
    const Invocation run = Invoke(L"adoc", L"*long*", Application::kPresent, L"noui");
    EXPECT_EQ(run.result, L"800700CE");  // ERROR_FILENAME_EXCED_RANGE
    EXPECT_FALSE(run.received.has_value());
}

}  // namespace
}  // namespace nivra::test
