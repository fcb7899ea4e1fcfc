#include "registrar/reg_object.h"

#include <new>

#include "common/heap.h"
#include "registrar/script_interpreter.h"
#include "registrar/small_buffer.h"

namespace nivra {

namespace {
constexpr char16_t kRegistryType[] = u"REGISTRY";
constexpr std::size_t kInlineTextUnits = 512;
}  // namespace

HResult CRegObject::RegisterScriptResource(const char16_t* modulePath,
                                           std::uint16_t number) noexcept {
    return RunScriptResource(kRegistryType, modulePath, ResourceId{nullptr, number}, true);
}

HResult CRegObject::UnregisterScriptResource(const char16_t* modulePath,
                                             std::uint16_t number) noexcept {
    return RunScriptResource(kRegistryType, modulePath, ResourceId{nullptr, number}, false);
}

HResult CRegObject::RegisterNamedScriptResource(const char16_t* modulePath,
                                                const char16_t* name) noexcept {
    if (name == nullptr)
        return kInvalidArg;
    return RunScriptResource(kRegistryType, modulePath, ResourceId{name, 0}, true);
}

HResult CRegObject::UnregisterNamedScriptResource(const char16_t* modulePath,
                                                  const char16_t* name) noexcept {
    if (name == nullptr)
        return kInvalidArg;
    return RunScriptResource(kRegistryType, modulePath, ResourceId{name, 0}, false);
}

// A platform call that failed without setting an error must not turn into success.
HResult CRegObject::LastErrorResult() noexcept {
    const HResult result = HResultFromWin32(static_cast<std::int32_t>(resources_.LastError()));
    return Failed(result) ? result : kFail;
}

HResult CRegObject::RunScriptResource(const char16_t* type, const char16_t* modulePath,
                                      ResourceId id, bool registerPass) noexcept {
    if (type == nullptr || modulePath == nullptr)
        return kInvalidArg;
    void* module = resources_.LoadDataModule(modulePath);
    if (module == nullptr)
        return LastErrorResult();
    const HResult result = RunLoadedScript(module, type, id, registerPass);
    resources_.ReleaseModule(module);
    return result;
}

HResult CRegObject::RunLoadedScript(void* module, const char16_t* type, ResourceId id,
                                    bool registerPass) noexcept {
    void* resource = resources_.FindScriptResource(module, type, id);
    if (resource == nullptr)
        return LastErrorResult();
    const void* bytes = nullptr;
    std::uint32_t size = 0;
    if (!resources_.LoadResourceBytes(module, resource, &bytes, &size) || bytes == nullptr)
        return LastErrorResult();
    if (size == UINT32_MAX)
        return kOutOfMemory;
    CSmallBuffer<char16_t, kInlineTextUnits> text;
    if (!text.Allocate(static_cast<std::size_t>(size) + 1))
        return kOutOfMemory;
    const std::uint32_t converted =
        resources_.ConvertAnsi(static_cast<const char*>(bytes), size, text.Data(), size);
    if (converted == 0)
        return LastErrorResult();
    if (converted > size)
        return kFail;
    text.Data()[converted] = u'\0';
    // Nearly 32 KB of token buffers: kept off the stack of the caller.
    void* block = MemAllocate(sizeof(CRegScriptInterpreter));
    if (block == nullptr)
        return kOutOfMemory;
    auto* interpreter = new (block) CRegScriptInterpreter(registry_, *this);
    const HResult result = interpreter->RunScript(text.Data(), registerPass);
    interpreter->~CRegScriptInterpreter();
    MemFree(block);
    return result;
}

}  // namespace nivra
