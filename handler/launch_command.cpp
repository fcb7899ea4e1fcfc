#include "handler/launch_command.h"

namespace nivra {

HResult BuildApplicationPath(const WideString& directory, WideString& path) noexcept {
    NV_RETURN_IF_FAILED(path.Assign(directory.Text(), directory.Length()));
    return path.Append(kApplicationFileName);
}

HResult BuildCommandLine(const char16_t* selectedFile, std::size_t length,
                         WideString& commandLine) noexcept {
    constexpr char16_t kPrefix[] = u"nivra -create \"";
    constexpr std::size_t kPrefixUnits = sizeof(kPrefix) / sizeof(char16_t) - 1;
    // The prefix, the path, the closing quote and the null. Checked here because Wine starts
    // a longer one anyway: the same failure on both.
    if (length > kMaxCommandLineUnits - kPrefixUnits - 2)
        return kFilenameTooLong;
    NV_RETURN_IF_FAILED(commandLine.Assign(kPrefix));
    NV_RETURN_IF_FAILED(commandLine.Append(selectedFile, length));
    return commandLine.Append(u"\"");
}

}  // namespace nivra
