// Feeds arbitrary scripts through both passes against the in-memory registry. Whatever the
// input, a run must not crash, must close every handle and must give back every block.
//
// Input: byte 0 chooses the text form (even: one unit per byte, odd: UTF-16LE) and byte 1, when
// not zero, makes the allocation seam fail after that many successes. The rest is the script.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "common/heap_test_hooks.h"
#include "memory_registry.h"
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

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
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
    const std::size_t live = nivra::testing::LiveAllocations();
    {
        MemoryRegistry registry;
        registry.AddKey("HKCR\\CLSID\\existing\\deep");
        registry.AddString("HKCU\\k", "v", "old");
        FuzzVariables variables;
        auto interpreter = std::make_unique<nivra::CRegScriptInterpreter>(registry, variables);
        if (data[1] != 0)
            nivra::testing::FailAllocationsAfter(data[1]);
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
