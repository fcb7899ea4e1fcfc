#include "support/wine_files.h"

#include <cstdio>
#include <thread>
#include <vector>

namespace nivra::test {

std::wstring ProgramFolder() {
    std::wstring self(32768, L'\0');
    self.resize(::GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
    return self.substr(0, self.rfind(L'\\') + 1);
}

std::wstring MakeTempFolder(const std::wstring& hint) {
    wchar_t temp[MAX_PATH + 1];
    ::GetTempPathW(MAX_PATH + 1, temp);
    static int counter = 0;
    for (;;) {
        std::wstring folder = std::wstring(temp) + L"nivra-" + hint + L"-" +
                              std::to_wstring(::GetCurrentProcessId()) + L"-" +
                              std::to_wstring(++counter) + L"\\";
        if (::CreateDirectoryW(folder.c_str(), nullptr))
            return folder;
    }
}

void WriteUtf8File(const std::wstring& path, const std::string& content) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    ::WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    ::CloseHandle(file);
}

std::optional<std::string> ReadFileBytes(const std::wstring& path) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::string content(::GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    ::ReadFile(file, content.data(), static_cast<DWORD>(content.size()), &read, nullptr);
    ::CloseHandle(file);
    content.resize(read);
    return content;
}

std::wstring ReadUtf16File(const std::wstring& path) {
    const std::string bytes = ReadFileBytes(path).value_or("");
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
}

void CopyInto(const std::wstring& source, const std::wstring& folder, const std::wstring& name) {
    ::CopyFileW(source.c_str(), (folder + name).c_str(), FALSE);
}

int RunProgram(const std::wstring& program, const std::wstring& arguments,
               std::chrono::milliseconds timeout) {
    std::wstring line = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started = {};
    if (!::CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &started)) {
        // Seen once in many runs as a bare -1: say which step failed, and why.
        std::fprintf(stderr, "RunProgram: CreateProcessW failed with error %lu\n",
                     ::GetLastError());
        return -1;
    }
    ::CloseHandle(started.hThread);
    DWORD code = static_cast<DWORD>(-1);
    const DWORD waited =
        ::WaitForSingleObject(started.hProcess, static_cast<DWORD>(timeout.count()));
    if (waited == WAIT_OBJECT_0) {
        if (!::GetExitCodeProcess(started.hProcess, &code))
            std::fprintf(stderr, "RunProgram: no exit code: error %lu\n", ::GetLastError());
    } else {
        std::fprintf(stderr, "RunProgram: the wait returned %lu (error %lu)\n", waited,
                     ::GetLastError());
        ::TerminateProcess(started.hProcess, 99);
    }
    ::CloseHandle(started.hProcess);
    return static_cast<int>(code);
}

std::optional<std::string> WaitForFile(const std::wstring& path,
                                       std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    do {
        if (auto content = ReadFileBytes(path))
            return content;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } while (std::chrono::steady_clock::now() < deadline);
    return std::nullopt;
}

std::string Utf8(const std::wstring& text) {
    const int bytes =
        ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(bytes > 0 ? bytes - 1 : 0, '\0');
    if (bytes > 1) {
        ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), bytes, nullptr, nullptr);
    }
    return out;
}

std::wstring Wide(const std::string& utf8) {
    const int units = ::MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    std::wstring out(units > 0 ? units - 1 : 0, L'\0');
    if (units > 1)
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, out.data(), units);
    return out;
}

}  // namespace nivra::test
