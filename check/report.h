// What the check found, and how it is printed: one line per finding and a summary, or the same
// findings as one JSON object. The exit code says what the summary says.
#pragma once

#include <cstddef>

#include "common/result_codes.h"
#include "common/wide_string.h"

namespace nivra {

enum class FindingKind { kOk, kProblem, kNote };

struct Finding {
    FindingKind kind = FindingKind::kNote;
    WideString text;  // plain words, naming the key or file that was read
};

class CheckReport {
  public:
    static constexpr std::size_t kCapacity = 96;

    // Keeps `text`; past kCapacity findings a problem still counts, the rest is dropped.
    [[nodiscard]] HResult Add(FindingKind kind, WideString&& text) noexcept;
    std::size_t Count() const noexcept { return count_; }
    const Finding& At(std::size_t index) const noexcept { return findings_[index]; }
    std::size_t Problems() const noexcept { return problems_; }
    // 0 when nothing stands in the way, 1 when something does.
    int ExitCode() const noexcept { return problems_ > 0 ? 1 : 0; }

    // "ok: ...", "problem: ...", "note: ..." lines, then the summary line.
    [[nodiscard]] HResult FormatText(WideString& out) const noexcept;
    // {"findings":[{"kind":"ok","text":"..."},...],"problems":N,"summary":"...","exitCode":N}
    [[nodiscard]] HResult FormatJson(WideString& out) const noexcept;

  private:
    [[nodiscard]] HResult Summary(WideString& out) const noexcept;

    Finding findings_[kCapacity];
    std::size_t count_ = 0;
    std::size_t problems_ = 0;
};

// `text` as the inside of a JSON string: quotes, backslashes and control characters escaped.
[[nodiscard]] HResult AppendJsonString(WideString& out, const char16_t* text,
                                       std::size_t length) noexcept;

}  // namespace nivra
