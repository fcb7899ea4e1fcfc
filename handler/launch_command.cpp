#include "handler/launch_command.h"

namespace nivra {

HResult BuildApplicationPath(const WideString& directory, WideString& path) noexcept {
    NV_RETURN_IF_FAILED(path.Assign(directory.Text(), directory.Length()));
    return path.Append(kApplicationFileName);
}

HResult BuildCommandLine(const char16_t* selectedFile, std::size_t length,
                         WideString& commandLine) noexcept {
    NV_RETURN_IF_FAILED(commandLine.Assign(u"nivra -create \""));
    NV_RETURN_IF_FAILED(commandLine.Append(selectedFile, length));
    return commandLine.Append(u"\"");
}

}  // namespace nivra
