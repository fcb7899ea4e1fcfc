#include "script_input.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <unordered_map>

#include "common/heap_test_hooks.h"
#include "memory_registry.h"
#include "registrar/reg_object.h"
#include "registrar/script_interpreter.h"
#include "registrar/script_text.h"

namespace nivra::fuzzing {

namespace {

using nivra::testing::MemoryRegistry;

class FixedVariables : public IVariableLookup {
  public:
    const char16_t* FindVariable(const char16_t* name) const noexcept override {
        static const char16_t* const kEntries[][2] = {
            {u"CLSID", u"{37653C37-DEDE-49F1-A788-4E46787130D9}"},
            {u"PROGID", u"NivraShellExtLib.NivraShellExt"},
            {u"VERSION", u"1"},
            {u"DESCRIPTION", u"NivraShellExt Class"},
            {u"LIBID", u"{E451006E-80DB-4344-9EB2-83931605B560}"},
            {u"THREADING", u"Apartment"},
            {u"MODULE", u"C:\\O''Brien\\x.dll"},
            {u"PCT", u"50%"},
            {u"EMPTY", u""},
            {u"BLANKS", u"a b\tc"},
        };
        for (const auto& entry : kEntries) {
            if (EqualsIgnoringCase(entry[0], name))
                return entry[1];
        }
        return nullptr;
    }
};

// The registrar only needs these to run script resources, which the fuzzer never does.
class NoModuleResources : public IModuleResources {
  public:
    void* LoadDataModule(const char16_t*) noexcept override { return nullptr; }
    void ReleaseModule(void*) noexcept override {}
    void* FindScriptResource(void*, const char16_t*, ResourceId) noexcept override {
        return nullptr;
    }
    bool LoadResourceBytes(void*, void*, const void**, std::uint32_t*) noexcept override {
        return false;
    }
    std::uint32_t ConvertAnsi(const char*, std::uint32_t, char16_t*,
                              std::uint32_t) noexcept override {
        return 0;
    }
    std::uint32_t LastError() noexcept override { return 2; }
};

// Answers like `inner` until the values handed out reach the budget, then knows no more names
// (the expansion fails as for an unknown variable).
class BudgetedVariables : public IVariableLookup {
  public:
    explicit BudgetedVariables(const IVariableLookup& inner) : inner_(inner) {}
    const char16_t* FindVariable(const char16_t* name) const noexcept override {
        const char16_t* value = inner_.FindVariable(name);
        if (value == nullptr)
            return nullptr;
        const std::size_t length = std::char_traits<char16_t>::length(value);
        if (length > left_)
            return nullptr;
        left_ -= length;
        return value;
    }
    void Refill() { left_ = kExpansionBudgetUnits; }

  private:
    const IVariableLookup& inner_;
    mutable std::size_t left_ = kExpansionBudgetUnits;
};

// How the registrar's map compares names.
std::u16string FoldAscii(std::u16string text) {
    for (char16_t& unit : text) {
        if (unit >= u'A' && unit <= u'Z')
            unit = static_cast<char16_t>(unit - u'A' + u'a');
    }
    return text;
}

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

// Adds each "name=value" entry of `list` and checks the map against a plain record of what
// was added: after every add, refused or not, the name's lookup gives the first matching
// recorded entry, so a refused add has changed nothing that can be seen.
void AddVariables(CRegObject& registrar, const std::u16string& list) {
    std::unordered_map<std::u16string, std::u16string> firstAdded;  // by folded name
    std::size_t start = 0;
    for (std::size_t entries = 0; start <= list.size() && entries < kMaxInputVariables; ++entries) {
        std::size_t end = list.find(u'\x01', start);
        if (end == std::u16string::npos)
            end = list.size();
        const std::size_t equals = list.find(u'=', start);
        const bool hasValue = equals < end;
        const std::u16string name = list.substr(start, (hasValue ? equals : end) - start);
        const std::u16string value =
            hasValue ? list.substr(equals + 1, end - equals - 1) : std::u16string();
        if (registrar.AddVariable(name.c_str(), value.c_str()) == kOk)
            firstAdded.emplace(FoldAscii(name), value);
        const char16_t* found = registrar.FindVariable(name.c_str());
        const auto expected = firstAdded.find(FoldAscii(name));
        Check(expected == firstAdded.end() ? found == nullptr
                                           : found != nullptr && expected->second == found,
              "a lookup did not find the first matching entry");
        start = end + 1;
    }
}

}  // namespace

bool DecodeScriptInput(const std::uint8_t* data, std::size_t size, ScriptInput* input) {
    if (size < 2 || size > kMaxInputBytes)
        return false;
    input->script.clear();
    if (data[0] % 2 == 0) {
        input->script.assign(data + 2, data + size);
    } else {
        input->script.reserve((size - 2) / 2);
        for (std::size_t i = 2; i + 1 < size; i += 2)
            input->script.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    }
    input->variablesFromInput = (data[0] & 2) != 0;
    input->variableList.clear();
    if (input->variablesFromInput) {
        const std::size_t nul = input->script.find(u'\0');
        input->variableList = input->script.substr(0, nul);
        input->script.erase(0, nul == std::u16string::npos ? nul : nul + 1);
    }
    input->allocationsBeforeFailure = data[1];
    return true;
}

HResult RunScriptInput(const ScriptInput& input) {
    MemoryRegistry registry;
    // Nothing reads the call log here, and keeping it costs more than the run itself.
    registry.SetRecording(false);
    registry.AddKey("HKCR\\CLSID\\existing\\deep");
    registry.AddString("HKCU\\k", "v", "old");
    FixedVariables fixedVariables;
    NoModuleResources resources;
    CRegObject registrar(registry, resources);
    if (input.allocationsBeforeFailure != 0)
        testing::FailAllocationsAfter(input.allocationsBeforeFailure);
    if (input.variablesFromInput)
        AddVariables(registrar, input.variableList);
    BudgetedVariables variables(
        input.variablesFromInput ? static_cast<const IVariableLookup&>(registrar) : fixedVariables);
    auto interpreter = std::make_unique<CRegScriptInterpreter>(registry, variables);
    const HResult registered = interpreter->RunScript(input.script.c_str(), true);
    Check(registry.OpenHandles() == 0, "register pass left a handle open");
    variables.Refill();
    (void)interpreter->RunScript(input.script.c_str(), false);
    Check(registry.OpenHandles() == 0, "unregister pass left a handle open");
    testing::StopFailingAllocations();
    return registered;
}

}  // namespace nivra::fuzzing
