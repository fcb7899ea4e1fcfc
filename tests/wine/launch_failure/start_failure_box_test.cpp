// What the user sees when the document application cannot be started: the message box of each
// front end, found on the virtual screen, read and closed by the test. Each case runs
// handler_probe in a process of its own beside a copy of the DLL (on_screen.sh runs this
// program in a Wine desktop of its own, on an Xvfb display).
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>

#include "probe_owner.h"
#include "product_paths.h"
#include "support/wine_files.h"

namespace nivra::test {
namespace {

using namespace std::chrono_literals;

enum class Application { kMissing, kDirectory };

struct Box {
    std::wstring caption;
    std::wstring text;
    std::wstring owner;  // the owner's title; empty without owner
    bool hasOwner = false;
};

struct Outcome {
    std::wstring result;  // the probe's HRESULT in hex
    std::optional<Box> box;
    int boxes = 0;
};

struct Texts {
    const wchar_t* caption;
    const wchar_t* lead;
    const wchar_t* advice;
};
const Texts kEnglish = {L"Add to ADOC...", L"The document application could not be started:",
                        L"Reinstall the application, or ask your administrator for help."};
const Texts kLithuanian = {L"\x012Etraukti \x012F ADOC...",
                           L"Nepavyko paleisti dokument\x0173 programos:",
                           L"I\x0161 naujo \x012F"
                           L"diekite program\x0105 arba kreipkit\x0117s pagalbos \x012F "
                           L"administratori\x0173."};

std::wstring WindowText(HWND window) {
    wchar_t text[4096] = {};
    ::GetWindowTextW(window, text, 4096);
    return text;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    return name;
}

struct BoxSearch {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK CheckForBox(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<BoxSearch*>(context);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == search->pid && ClassOf(window) == L"#32770" && ::IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// The dialog box that process `pid` shows, if any.
HWND FindBoxOf(DWORD pid) {
    BoxSearch search = {pid, nullptr};
    ::EnumWindows(CheckForBox, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

BOOL CALLBACK KeepLongestStaticText(HWND child, LPARAM context) {
    auto* best = reinterpret_cast<std::wstring*>(context);
    if (ClassOf(child) == L"Static") {
        const std::wstring text = WindowText(child);
        if (text.size() > best->size())
            *best = text;
    }
    return TRUE;
}

// The box's message: the longest text of its static controls (the icon has none).
std::wstring MessageOf(HWND box) {
    std::wstring longest;
    ::EnumChildWindows(box, KeepLongestStaticText, reinterpret_cast<LPARAM>(&longest));
    return longest;
}

// Runs the probe with `arguments` in `folder`; every box it shows is read and answered with OK.
Outcome RunProbe(const std::wstring& folder, const std::wstring& arguments) {
    Outcome outcome;
    std::wstring line = L"\"" + folder + L"handler_probe.exe\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started = {};
    if (!::CreateProcessW((folder + L"handler_probe.exe").c_str(), line.data(), nullptr, nullptr,
                          FALSE, 0, nullptr, nullptr, &startup, &started)) {
        ADD_FAILURE() << "the probe did not start";
        return outcome;
    }
    ::CloseHandle(started.hThread);
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (::WaitForSingleObject(started.hProcess, 50) == WAIT_TIMEOUT) {
        if (std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << "the probe did not finish";
            ::TerminateProcess(started.hProcess, 99);
            break;
        }
        HWND box = FindBoxOf(started.dwProcessId);
        if (box == nullptr)
            continue;
        std::this_thread::sleep_for(100ms);  // let it finish laying out its controls
        Box seen;
        seen.caption = WindowText(box);
        seen.text = MessageOf(box);
        HWND owner = ::GetWindow(box, GW_OWNER);
        seen.hasOwner = owner != nullptr;
        if (owner != nullptr)
            seen.owner = WindowText(owner);
        outcome.box = seen;
        ++outcome.boxes;
        ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        // Wait until that box is gone, so it is not counted twice.
        for (int i = 0; i < 100 && ::IsWindow(box); ++i)
            std::this_thread::sleep_for(20ms);
    }
    ::CloseHandle(started.hProcess);
    outcome.result = ReadUtf16File(folder + L"out.txt");
    return outcome;
}

// The system's own text for `error`, as the box shows it: in `language` where the system has
// it, else in its own; without the line end.
std::wstring SystemText(DWORD error, WORD language) {
    wchar_t text[512] = {};
    constexpr DWORD kFlags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    if (::FormatMessageW(kFlags, nullptr, error, language, text, 512, nullptr) == 0)
        ::FormatMessageW(kFlags, nullptr, error, 0, text, 512, nullptr);
    std::wstring reason = text;
    while (!reason.empty() &&
           (reason.back() == L'\n' || reason.back() == L'\r' || reason.back() == L' '))
        reason.pop_back();
    return reason;
}

std::wstring ExpectedMessage(const Texts& texts, const std::wstring& application, DWORD error) {
    const WORD language = &texts == &kLithuanian ? 1063 : 1033;
    return std::wstring(texts.lead) + L"\n\n" + application + L"\n" + SystemText(error, language) +
           L"\n\n" + texts.advice;
}

std::wstring Hex(HRESULT hr) {
    wchar_t code[16];
    wsprintfW(code, L"%08lX", static_cast<unsigned long>(hr));
    return code;
}

// A folder with the probe, a copy of the DLL, the settings and no startable Nivra.exe.
std::wstring InstallWithout(Application application, const char* language) {
    const std::wstring folder = MakeTempFolder(L"start-failure");
    CopyInto(ProgramFolder() + L"handler_probe.exe", folder, L"handler_probe.exe");
    CopyInto(NIVRA_DLL_PATH, folder, NIVRA_DLL_FILE_NAME);
    ::CreateDirectoryW((folder + L"configuration").c_str(), nullptr);
    WriteUtf8File(folder + L"configuration\\config.ini",
                  std::string("[SetupSettings]\r\nosgi.nl=") + language + "\r\n");
    if (application == Application::kDirectory)
        ::CreateDirectoryW((folder + L"Nivra.exe").c_str(), nullptr);
    return folder;
}

std::wstring ClassicInvoke(const std::wstring& folder, const std::wstring& file,
                           const wchar_t* mode) {
    return L"invoke \"" + folder + L"out.txt\" adoc \"" + file + L"\" " + mode;
}

struct ClassicCase {
    const char* name;
    Application application;
    const wchar_t* file;
    DWORD error;  // what Windows gives
    DWORD wineError;
};

TEST(StartFailureBox, TheHandlerTellsTheUserOnceInABoxOwnedByTheRecordsWindow) {
    for (const ClassicCase& c : {
             ClassicCase{"missing", Application::kMissing, L"C:\\a.pdf", ERROR_FILE_NOT_FOUND,
                         ERROR_FILE_NOT_FOUND},
             // Wine's CreateProcessW gives ERROR_INVALID_HANDLE for a folder.
             ClassicCase{"directory", Application::kDirectory, L"C:\\a.pdf", ERROR_ACCESS_DENIED,
                         ERROR_INVALID_HANDLE},
             ClassicCase{"too long", Application::kMissing, L"*long*", ERROR_FILENAME_EXCED_RANGE,
                         ERROR_FILENAME_EXCED_RANGE},
         }) {
        SCOPED_TRACE(c.name);
        const std::wstring folder = InstallWithout(c.application, "en");
        const Outcome quiet = RunProbe(folder, ClassicInvoke(folder, c.file, L"noui"));
        EXPECT_EQ(quiet.boxes, 0);
        const DWORD error =
            quiet.result == Hex(HRESULT_FROM_WIN32(c.wineError)) ? c.wineError : c.error;
        EXPECT_EQ(quiet.result, Hex(HRESULT_FROM_WIN32(error)));

        const Outcome told = RunProbe(folder, ClassicInvoke(folder, c.file, L"owner"));
        EXPECT_EQ(told.result, L"800704C7");  // ERROR_CANCELLED: the user has been told
        ASSERT_EQ(told.boxes, 1);
        EXPECT_EQ(told.box->caption, kEnglish.caption);
        EXPECT_EQ(told.box->text, ExpectedMessage(kEnglish, folder + L"Nivra.exe", error));
        EXPECT_EQ(told.box->owner, kProbeOwnerTitle);
    }
}

TEST(StartFailureBox, TheHandlersBoxSpeaksTheConfiguredLanguage) {
    const std::wstring folder = InstallWithout(Application::kMissing, "lt");
    const Outcome told = RunProbe(folder, ClassicInvoke(folder, L"C:\\a.pdf", L"owner"));
    EXPECT_EQ(told.result, L"800704C7");
    ASSERT_EQ(told.boxes, 1);
    EXPECT_EQ(told.box->caption, kLithuanian.caption);
    EXPECT_EQ(told.box->text,
              ExpectedMessage(kLithuanian, folder + L"Nivra.exe", ERROR_FILE_NOT_FOUND));
}

TEST(StartFailureBox, TheExplorerCommandTellsTheUserInABoxWithoutOwner) {
    for (const char* language : {"en", "lt"}) {
        SCOPED_TRACE(language);
        const Texts& texts = std::string(language) == "lt" ? kLithuanian : kEnglish;
        const std::wstring folder = InstallWithout(Application::kMissing, language);
        const std::wstring file = folder + L"report.pdf";
        WriteUtf8File(file, "%PDF-1.4\n");
        const Outcome told =
            RunProbe(folder, L"command-invoke \"" + folder + L"out.txt\" \"" + file + L"\"");
        EXPECT_EQ(told.result, L"800704C7");
        ASSERT_EQ(told.boxes, 1);
        EXPECT_EQ(told.box->caption, texts.caption);
        EXPECT_EQ(told.box->text,
                  ExpectedMessage(texts, folder + L"Nivra.exe", ERROR_FILE_NOT_FOUND));
        EXPECT_FALSE(told.box->hasOwner);
    }
}

}  // namespace
}  // namespace nivra::test

// The Wine desktop that runs this program hands back no exit status: write it where
// on_screen.sh reads it.
int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    wchar_t path[MAX_PATH] = {};
    if (::GetEnvironmentVariableW(L"NIVRA_STATUS_FILE", path, MAX_PATH) > 0)
        nivra::test::WriteUtf8File(path, std::to_string(status));
    return status;
}
