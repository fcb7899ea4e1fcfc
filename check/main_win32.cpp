// NivraShellExtCheck: tells a user or a help desk what stands between them and the command.
//   NivraShellExtCheck [--json]
// One line per finding (ok, problem or note) and a summary; exit code 0 when nothing stands in
// the way for the current user, 1 when something does, 2 on a bad command line.
#include <windows.h>
#include <shellapi.h>

#include "check/checks_win32.h"
#include "check/report.h"
#include "common/heap.h"
#include "common/text_win32.h"
#include "common/unique_any_win32.h"

namespace {

// UTF-8 to standard output, whether it is a console, a file or a pipe.
void Write(HANDLE out, const nivra::WideString& text) {
    const int bytes =
        ::WideCharToMultiByte(CP_UTF8, 0, nivra::AsWide(text.Text()),
                              static_cast<int>(text.Length()), nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return;
    char* utf8 = static_cast<char*>(nivra::MemAllocate(static_cast<std::size_t>(bytes)));
    if (utf8 == nullptr)
        return;
    ::WideCharToMultiByte(CP_UTF8, 0, nivra::AsWide(text.Text()), static_cast<int>(text.Length()),
                          utf8, bytes, nullptr, nullptr);
    DWORD written = 0;
    ::WriteFile(out, utf8, static_cast<DWORD>(bytes), &written, nullptr);
    nivra::MemFree(utf8);
}

void FreeArguments(wchar_t** arguments) noexcept {
    ::LocalFree(arguments);
}
using UniqueArguments = nivra::UniqueAny<nivra::traits::NullInvalid<wchar_t**, FreeArguments>>;

int Run(int argc, wchar_t** argv) {
    bool json = false;
    for (int i = 1; i < argc; ++i) {
        if (::lstrcmpW(argv[i], L"--json") == 0) {
            json = true;
        } else {
            nivra::WideString usage;
            (void)usage.Assign(u"usage: NivraShellExtCheck [--json]\n");
            Write(::GetStdHandle(STD_ERROR_HANDLE), usage);
            return 2;
        }
    }
    static nivra::CheckReport report;
    nivra::WideString text;
    if (FAILED(nivra::RunChecks(report)) ||
        FAILED(json ? report.FormatJson(text) : report.FormatText(text))) {
        return 3;  // out of memory
    }
    Write(::GetStdHandle(STD_OUTPUT_HANDLE), text);
    return report.ExitCode();
}

}  // namespace

// main rather than wmain: the start-up code of every toolchain calls main, while one that
// would call wmain needs a flag not all of them take (-municode). The wide arguments come from
// the system instead.
int main() {
    int argc = 0;
    const UniqueArguments argv(::CommandLineToArgvW(::GetCommandLineW(), &argc));
    if (!argv.is_valid())
        return 3;  // out of memory
    return Run(argc, argv.get());
}
