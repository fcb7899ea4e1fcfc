// Shared helpers of the registry script engine tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/heap_test_hooks.h"
#include "memory_registry.h"
#include "registrar/script_interpreter.h"
#include "registrar/variable_lookup.h"
#include "registrar/script_text.h"

namespace nivra::testing {

class Variables : public IVariableLookup {
  public:
    Variables(std::initializer_list<std::pair<std::u16string, std::u16string>> entries = {})
        : entries_(entries) {}
    const char16_t* FindVariable(const char16_t* name) const noexcept override {
        for (const auto& entry : entries_) {
            if (EqualsIgnoringCase(entry.first.c_str(), name))
                return entry.second.c_str();
        }
        return nullptr;
    }

  private:
    std::vector<std::pair<std::u16string, std::u16string>> entries_;
};

// Runs a script in one pass; the interpreter is too large for a test's stack frame to waste.
inline HResult RunScript(MemoryRegistry& registry, const std::u16string& script, bool registerPass,
                         const IVariableLookup& variables = Variables()) {
    auto interpreter = std::make_unique<CRegScriptInterpreter>(registry, variables);
    return interpreter->RunScript(script.c_str(), registerPass);
}

// Checks that a test gives back every block of the allocation seam it took.
class AllocationGuard {
  public:
    AllocationGuard() : live_(LiveAllocations()) {}
    ~AllocationGuard() {
        StopFailingAllocations();
        EXPECT_EQ(LiveAllocations(), live_) << "blocks leaked";
    }

  private:
    std::size_t live_;
};

}  // namespace nivra::testing
