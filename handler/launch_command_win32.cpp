#include "handler/launch_command_win32.h"

#include <windows.h>

#include "common/text_win32.h"
#include "common/unique_any_win32.h"
#include "handler/launch_command.h"
#include "handler/ui_strings_win32.h"

namespace nivra {

HResult StartDocumentApplication(const char16_t* file, std::size_t length) noexcept {
    WideString directory;
    NV_RETURN_IF_FAILED(GetModuleDirectory(directory));
    // Without our own folder, a bare "Nivra.exe" would be looked up in whatever folder is
    // current, which could start any program of that name: start nothing instead.
    if (directory.IsEmpty())
        return S_OK;

    WideString application;
    NV_RETURN_IF_FAILED(BuildApplicationPath(directory, application));
    WideString commandLine;
    NV_RETURN_IF_FAILED(BuildCommandLine(file, length, commandLine));

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started = {};
    if (::CreateProcessW(AsWide(application.Text()), AsWide(commandLine.Buffer()), nullptr, nullptr,
                         FALSE, 0, nullptr, nullptr, &startup, &started)) {
        UniqueHandle process(started.hProcess);
        UniqueHandle thread(started.hThread);
    }
    return S_OK;
}

}  // namespace nivra
