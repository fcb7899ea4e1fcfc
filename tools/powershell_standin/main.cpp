// Stands in for Windows PowerShell in the installer tests (Wine has no package deployment):
// appends the command line it received, as one UTF-8 line, to "calls.txt" beside itself,
// followed by a tab and "present" or "absent" for the file named in "watch.txt" (so a test can
// tell whether a call came before the installed files went). Exits 1 when the command line
// contains the text in "fail.txt", 0 otherwise.
#include <windows.h>

#include <fstream>
#include <string>

namespace {

std::string Utf8(const std::wstring& text) {
    const int bytes =
        ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(bytes > 0 ? bytes - 1 : 0, '\0');
    if (bytes > 1)
        ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), bytes, nullptr, nullptr);
    return out;
}

std::wstring Wide(const std::string& text) {
    const int units = ::MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring out(units > 0 ? units - 1 : 0, L'\0');
    if (units > 1)
        ::MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, out.data(), units);
    return out;
}

// The first line of a UTF-8 file beside the program, or nothing.
std::string FirstLine(const std::wstring& path) {
    std::ifstream in(path.c_str());
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.pop_back();
    return line;
}

}  // namespace

int main() {
    std::wstring self(32768, L'\0');
    self.resize(::GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
    const std::wstring folder = self.substr(0, self.rfind(L'\\') + 1);
    const std::string command = Utf8(::GetCommandLineW());

    const std::string watched = FirstLine(folder + L"watch.txt");
    const bool present =
        !watched.empty() && ::GetFileAttributesW(Wide(watched).c_str()) != INVALID_FILE_ATTRIBUTES;
    {
        std::ofstream calls((folder + L"calls.txt").c_str(), std::ios::app | std::ios::binary);
        calls << command << '\t' << (present ? "present" : "absent") << '\n';
        if (!calls)
            return 2;
    }
    const std::string failing = FirstLine(folder + L"fail.txt");
    return !failing.empty() && command.find(failing) != std::string::npos ? 1 : 0;
}
