#include <gtest/gtest.h>

#include <string>

#include "product_paths.h"
#include "support/wine_files.h"

namespace nivra::test {
namespace {

const std::wstring kEnglish =
    L"Add to &ADOC...\nCreates a new ADOC document based on the selected file.";
const std::wstring kLithuanian =
    L"\x012Etraukti \x012F &ADOC...\nSudaro nauj\x0105 ADOC dokument\x0105 pasirinkto failo "
    L"pagrindu.";

// A copy of the probe in a folder of its own, with the given settings file (none when empty).
std::wstring ProbeFolder(const char* settings) {
    const std::wstring folder = MakeTempFolder(L"lang");
    CopyInto(ProgramFolder() + L"handler_probe.exe", folder, L"handler_probe.exe");
    CopyInto(NIVRA_DLL_PATH, folder, NIVRA_DLL_FILE_NAME);
    if (settings != nullptr) {
        ::CreateDirectoryW((folder + L"configuration").c_str(), nullptr);
        WriteUtf8File(folder + L"configuration\\config.ini", settings);
    }
    return folder;
}

std::wstring TextsWith(const char* settings) {
    const std::wstring folder = ProbeFolder(settings);
    EXPECT_EQ(RunProgram(folder + L"handler_probe.exe", L"strings \"" + folder + L"out.txt\""), 0);
    return ReadUtf16File(folder + L"out.txt");
}

TEST(Language, LtAndValuesStartingWithItGiveLithuanian) {
    EXPECT_EQ(TextsWith("[SetupSettings]\r\nosgi.nl=lt\r\n"), kLithuanian);
    EXPECT_EQ(TextsWith("[Other]\r\na=b\r\n[SetupSettings]\r\nx=1\r\nosgi.nl=lt_LT\r\n"),
              kLithuanian);
    EXPECT_EQ(TextsWith("[SetupSettings]\nosgi.nl=ltx\n"), kLithuanian);
}

TEST(Language, EveryOtherValueOrNoSettingGivesEnglish) {
    for (const char* value : {"LT", "Lt", "l", "en", ""}) {
        const std::string settings = std::string("[SetupSettings]\r\nosgi.nl=") + value + "\r\n";
        EXPECT_EQ(TextsWith(settings.c_str()), kEnglish) << value;
    }
    EXPECT_EQ(TextsWith(nullptr), kEnglish);
    EXPECT_EQ(TextsWith("[Other]\r\nosgi.nl=lt\r\n"), kEnglish);
}

TEST(Language, IsDecidedOnceWhileTheModuleStaysLoaded) {
    const std::wstring folder = ProbeFolder("[SetupSettings]\r\nosgi.nl=lt\r\n");
    ASSERT_EQ(
        RunProgram(folder + L"handler_probe.exe", L"strings-edit \"" + folder + L"out.txt\" \"" +
                                                      folder + L"configuration\\config.ini\""),
        0);
    EXPECT_EQ(ReadUtf16File(folder + L"out.txt"),
              L"\x012Etraukti \x012F &ADOC...\n\x012Etraukti \x012F &ADOC...");
    // A fresh process reads the edited file.
    ASSERT_EQ(RunProgram(folder + L"handler_probe.exe", L"strings \"" + folder + L"out.txt\""), 0);
    EXPECT_EQ(ReadUtf16File(folder + L"out.txt"), kEnglish);
}

}  // namespace
}  // namespace nivra::test
