#include "handler/launch_command_win32.h"

#include "common/text_win32.h"
#include "common/unique_any_win32.h"
#include "handler/launch_command.h"
#include "handler/start_failure_notice_win32.h"
#include "handler/ui_strings_win32.h"

namespace nivra {

namespace {

// The failed start as its result: the error itself, or ERROR_CANCELLED once the user was told.
HResult ReportFailedStart(const StartFailureNotice& notice, const WideString& application,
                          DWORD error) noexcept {
    const HResult failure = error != 0 ? HRESULT_FROM_WIN32(error) : E_FAIL;
    if (!notice.allowed)
        return failure;
    const HResult told = TellStartFailure(notice, application, error);
    // Not told (no desktop, no memory): the caller still learns what went wrong.
    return told == S_OK ? kCancelled : failure;
}

}  // namespace

HResult StartDocumentApplication(const char16_t* file, std::size_t length,
                                 const StartFailureNotice& notice) noexcept {
    WideString directory;
    NV_RETURN_IF_FAILED(GetModuleDirectory(directory));
    // Without our own folder, a bare "Nivra.exe" would be looked up in whatever folder is
    // current, which could start any program of that name: start nothing instead.
    if (directory.IsEmpty())
        return S_OK;

    WideString application;
    NV_RETURN_IF_FAILED(BuildApplicationPath(directory, application));
    WideString commandLine;
    const HResult built = BuildCommandLine(file, length, commandLine);
    if (built == kFilenameTooLong)
        return ReportFailedStart(notice, application, ERROR_FILENAME_EXCED_RANGE);
    NV_RETURN_IF_FAILED(built);

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started = {};
    if (!::CreateProcessW(AsWide(application.Text()), AsWide(commandLine.Buffer()), nullptr,
                          nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
        return ReportFailedStart(notice, application, ::GetLastError());
    }
    UniqueHandle process(started.hProcess);
    UniqueHandle thread(started.hThread);
    return S_OK;
}

}  // namespace nivra
