// Feeds arbitrary scripts through both passes against the in-memory registry. Whatever the
// input, a run must not crash, must close every handle and must give back every block.
//
// Input: bit 0 of byte 0 chooses the text form (0: one unit per byte, 1: UTF-16LE) and byte 1,
// when not zero, makes the allocation seam fail after that many successes. The rest is the
// script. When bit 1 of byte 0 is set, the text before its first NUL is the registrar's variable
// list instead of the fixed one: entries separated by U+0001, each "name=value" (no "=": an
// empty value), added through the registrar's own map, which the script then reads.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/heap_test_hooks.h"
#include "memory_registry.h"
#include "registrar/reg_object.h"
#include "registrar/script_interpreter.h"
#include "registrar/script_text.h"

namespace {

using nivra::testing::MemoryRegistry;

class FuzzVariables : public nivra::IVariableLookup {
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
            if (nivra::EqualsIgnoringCase(entry[0], name))
                return entry[1];
        }
        return nullptr;
    }
};

// The registrar only needs these to run script resources, which the fuzzer never does.
class NoModuleResources : public nivra::IModuleResources {
  public:
    void* LoadDataModule(const char16_t*) noexcept override { return nullptr; }
    void ReleaseModule(void*) noexcept override {}
    void* FindScriptResource(void*, const char16_t*, nivra::ResourceId) noexcept override {
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

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

// The value of the first recorded variable whose name matches, or null.
const std::u16string* FirstMatch(
    const std::vector<std::pair<std::u16string, std::u16string>>& added,
    const std::u16string& name) {
    for (const auto& [earlier, value] : added) {
        if (nivra::EqualsIgnoringCase(earlier.c_str(), name.c_str()))
            return &value;
    }
    return nullptr;
}

// Adds each "name=value" entry of `list` and checks the map against a plain record of what
// was added: after every add, refused or not, the name's lookup gives the first matching
// recorded entry, so a refused add has changed nothing that can be seen.
void AddVariables(nivra::CRegObject& registrar, const std::u16string& list) {
    std::vector<std::pair<std::u16string, std::u16string>> added;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(u'\x01', start);
        if (end == std::u16string::npos)
            end = list.size();
        const std::u16string entry = list.substr(start, end - start);
        const std::size_t equals = entry.find(u'=');
        const std::u16string name = entry.substr(0, equals);
        const std::u16string value =
            equals == std::u16string::npos ? std::u16string() : entry.substr(equals + 1);
        if (registrar.AddVariable(name.c_str(), value.c_str()) == nivra::kOk)
            added.emplace_back(name, value);
        const char16_t* found = registrar.FindVariable(name.c_str());
        const std::u16string* expected = FirstMatch(added, name);
        Check(expected == nullptr ? found == nullptr : found != nullptr && *expected == found,
              "a lookup did not find the first matching entry");
        start = end + 1;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2 || size > 65536)
        return 0;
    std::u16string script;
    if (data[0] % 2 == 0) {
        script.assign(data + 2, data + size);
    } else {
        for (std::size_t i = 2; i + 1 < size; i += 2)
            script.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    }
    const bool variablesFromInput = (data[0] & 2) != 0;
    std::u16string variableList;
    if (variablesFromInput) {
        const std::size_t nul = script.find(u'\0');
        variableList = script.substr(0, nul);
        script = nul == std::u16string::npos ? std::u16string() : script.substr(nul + 1);
    }
    const std::size_t live = nivra::testing::LiveAllocations();
    {
        MemoryRegistry registry;
        registry.AddKey("HKCR\\CLSID\\existing\\deep");
        registry.AddString("HKCU\\k", "v", "old");
        FuzzVariables fixedVariables;
        NoModuleResources resources;
        nivra::CRegObject registrar(registry, resources);
        if (data[1] != 0)
            nivra::testing::FailAllocationsAfter(data[1]);
        if (variablesFromInput)
            AddVariables(registrar, variableList);
        const nivra::IVariableLookup& variables =
            variablesFromInput ? static_cast<const nivra::IVariableLookup&>(registrar)
                               : fixedVariables;
        auto interpreter = std::make_unique<nivra::CRegScriptInterpreter>(registry, variables);
        (void)interpreter->RunScript(script.c_str(), true);
        Check(registry.OpenHandles() == 0, "register pass left a handle open");
        (void)interpreter->RunScript(script.c_str(), false);
        Check(registry.OpenHandles() == 0, "unregister pass left a handle open");
        nivra::testing::StopFailingAllocations();
    }
    Check(nivra::testing::LiveAllocations() == live, "blocks leaked");
    return 0;
}

#if !defined(NIVRA_LIBFUZZER)
// Without libFuzzer: replay the files and folders named on the command line.
int main(int argc, char** argv) {
    std::size_t runs = 0;
    for (int i = 1; i < argc; ++i) {
        std::vector<std::filesystem::path> files;
        if (std::filesystem::is_directory(argv[i])) {
            for (const auto& entry : std::filesystem::directory_iterator(argv[i]))
                files.push_back(entry.path());
        } else {
            files.emplace_back(argv[i]);
        }
        for (const auto& file : files) {
            std::ifstream in(file, std::ios::binary);
            const std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                          std::istreambuf_iterator<char>()};
            LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                   bytes.size());
            ++runs;
        }
    }
    std::printf("replayed %zu inputs\n", runs);
    return 0;
}
#endif
