// Feeds arbitrary scripts through both passes against the in-memory registry (input format in
// script_input.h). Whatever the input, a run must not crash, must close every handle and must
// give back every block.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "common/heap_test_hooks.h"
#include "script_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    nivra::fuzzing::ScriptInput input;
    if (!nivra::fuzzing::DecodeScriptInput(data, size, &input))
        return 0;
    const std::size_t live = nivra::testing::LiveAllocations();
    (void)nivra::fuzzing::RunScriptInput(input);
    if (nivra::testing::LiveAllocations() != live) {
        std::fprintf(stderr, "invariant broken: blocks leaked\n");
        std::abort();
    }
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
