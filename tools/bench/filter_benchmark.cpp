// Prints the file-type filter's cost per call, per kind of path and over a mix of them. Each
// figure is the best of several rounds, so a busy machine inflates it less.
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "handler/file_type_filter.h"

namespace {

struct Kind {
    const char* label;
    std::vector<std::u16string> paths;
};

std::u16string Folder(std::size_t depth) {
    std::u16string folder = u"C:\\Users\\jonas.petraitis\\Documents";
    for (std::size_t i = 0; i < depth; ++i)
        folder += u"\\Project folder " + std::u16string(1, static_cast<char16_t>(u'A' + i));
    return folder + u"\\";
}

std::vector<Kind> Kinds() {
    const std::u16string near = Folder(1);
    const std::u16string deep = Folder(12);  // about 250 units, near the classic path limit
    return {
        {"supported",
         {near + u"report.pdf", near + u"Photo.JPG", near + u"budget.xlsx", near + u"scan.tiff",
          near + u"slides.PPTX"}},
        {"unsupported",
         {near + u"setup.exe", near + u"notes.txt", near + u"archive.zip", near + u"contract.adoc",
          near + u"photo.jpe"}},
        {"long path", {deep + u"report.pdf", deep + u"notes.txt", deep + u"data.json"}},
        {"long extension", {near + u"backup.sqlite3", near + u"page.markdown"}},
        {"no dot", {near + u"README", deep + u"Makefile", u"C:\\my.docs\\LICENSE"}},
    };
}

// Nanoseconds per call over `paths`, best of the rounds.
double NanosecondsPerCall(const std::vector<std::u16string>& paths) {
    constexpr int kRounds = 7;
    constexpr std::size_t kCalls = 2000000;
    double best = 1e300;
    volatile unsigned sink = 0;
    for (int round = 0; round < kRounds; ++round) {
        unsigned supported = 0;
        const auto start = std::chrono::steady_clock::now();
        for (std::size_t i = 0; i < kCalls; ++i) {
            const std::u16string& path = paths[i % paths.size()];
            supported += nivra::IsSupportedFile(path.data(), path.size()) ? 1u : 0u;
        }
        const std::chrono::duration<double, std::nano> elapsed =
            std::chrono::steady_clock::now() - start;
        sink = sink + supported;
        const double perCall = elapsed.count() / kCalls;
        if (perCall < best)
            best = perCall;
    }
    return best;
}

}  // namespace

int main() {
    const std::vector<Kind> kinds = Kinds();
    std::vector<std::u16string> mix;
    for (const Kind& kind : kinds) {
        std::printf("%-16s %6.1f ns per call\n", kind.label, NanosecondsPerCall(kind.paths));
        mix.insert(mix.end(), kind.paths.begin(), kind.paths.end());
    }
    std::printf("%-16s %6.1f ns per call (goal: at most 50)\n", "mix", NanosecondsPerCall(mix));
    return 0;
}
