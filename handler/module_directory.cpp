#include "handler/module_directory.h"

namespace nivra {

namespace {
constexpr std::uint32_t kPathStep = 260;
}  // namespace

HResult GetModulePathFrom(ModuleFileNameSource source, void* context, WideString& path) noexcept {
    WideString name;
    std::uint32_t room = kPathStep;
    for (;;) {
        NV_RETURN_IF_FAILED(name.Reserve(room));
        const std::uint32_t written = source(context, name.Buffer(), room + 1);
        NV_RETURN_IF_FAILED(name.SetLength(written < room ? written : room));
        if (written <= room)
            break;
        if (room > UINT32_MAX - kPathStep - 1)
            return kOutOfMemory;
        room += kPathStep;
    }
    path = static_cast<WideString&&>(name);
    return kOk;
}

HResult GetModuleDirectoryFrom(ModuleFileNameSource source, void* context,
                               WideString& directory) noexcept {
    WideString name;
    NV_RETURN_IF_FAILED(GetModulePathFrom(source, context, name));
    const std::size_t backslash = name.FindLast(u'\\');
    if (backslash != WideString::npos)
        name.Truncate(backslash + 1);
    directory = static_cast<WideString&&>(name);
    return kOk;
}

}  // namespace nivra
