// Stands in for Nivra.exe: writes the command line it received and its own path, as UTF-8
// lines, to "Nivra.received.txt" beside itself. The file appears whole or not at all.
#include <windows.h>

#include <string>

namespace {

std::string Utf8(const wchar_t* text) {
    const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(bytes > 0 ? bytes - 1 : 0, '\0');
    if (bytes > 1)
        ::WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), bytes, nullptr, nullptr);
    return out;
}

}  // namespace

int main() {
    std::wstring self(32768, L'\0');
    self.resize(::GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
    const std::wstring folder = self.substr(0, self.rfind(L'\\') + 1);
    const std::string content = Utf8(::GetCommandLineW()) + "\n" + Utf8(self.c_str()) + "\n";

    const std::wstring partial = folder + L"Nivra.received.partial";
    HANDLE file = ::CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    ::WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    ::CloseHandle(file);
    return ::MoveFileExW(partial.c_str(), (folder + L"Nivra.received.txt").c_str(),
                         MOVEFILE_REPLACE_EXISTING)
               ? 0
               : 1;
}
