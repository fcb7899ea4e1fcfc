// The registrar: holds the replacement variables and runs "REGISTRY" script resources of a
// module file in the register or the unregister pass.
#pragma once

#include <cstdint>

#include "common/result_codes.h"
#include "registrar/module_resources.h"
#include "registrar/registrar_base.h"
#include "registrar/registry.h"
#include "registrar/replacement_map.h"
#include "registrar/variable_lookup.h"

namespace nivra {

class CRegObject final : public IRegistrarBase, public IVariableLookup {
  public:
    CRegObject(IRegistry& registry, IModuleResources& resources) noexcept
        : registry_(registry), resources_(resources) {}
    ~CRegObject() override { map_.Clear(); }
    CRegObject(const CRegObject&) = delete;
    CRegObject& operator=(const CRegObject&) = delete;

    // Never handed out as a component object, never counted. The virtual operations stay
    // inline so that no translation unit of the core owns the class's type information.
    HResult QueryInterface(const void*, void** object) noexcept override {
        if (object != nullptr)
            *object = nullptr;
        return kNotImpl;
    }
    std::uint32_t AddRef() noexcept override { return 1; }
    std::uint32_t Release() noexcept override { return 0; }

    HResult AddVariable(const char16_t* name, const char16_t* value) noexcept override {
        return map_.Add(name, value);
    }
    HResult ClearVariables() noexcept override {
        map_.Clear();
        return kOk;
    }
    const char16_t* FindVariable(const char16_t* name) const noexcept override {
        return map_.Find(name);
    }

    HResult RegisterScriptResource(const char16_t* modulePath, std::uint16_t number) noexcept;
    HResult UnregisterScriptResource(const char16_t* modulePath, std::uint16_t number) noexcept;
    HResult RegisterNamedScriptResource(const char16_t* modulePath, const char16_t* name) noexcept;
    HResult UnregisterNamedScriptResource(const char16_t* modulePath,
                                          const char16_t* name) noexcept;
    HResult RunScriptResource(const char16_t* type, const char16_t* modulePath, ResourceId id,
                              bool registerPass) noexcept;

  private:
    HResult RunLoadedScript(void* module, const char16_t* type, ResourceId id,
                            bool registerPass) noexcept;
    HResult LastErrorResult() noexcept;

    IRegistry& registry_;
    IModuleResources& resources_;
    CReplacementMap map_;
};

}  // namespace nivra
