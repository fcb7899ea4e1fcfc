// The registrar's variables: names and values in the order they were added, each an owned
// copy. Duplicates are kept; a lookup finds the first entry whose name matches case-blind.
#pragma once

#include <cstddef>

#include "common/result_codes.h"

namespace nivra {

class CReplacementMap {
  public:
    CReplacementMap() noexcept = default;
    ~CReplacementMap() { Clear(); }
    CReplacementMap(const CReplacementMap&) = delete;
    CReplacementMap& operator=(const CReplacementMap&) = delete;

    // kInvalidArg for a null text, kOutOfMemory when the copies or the longer arrays cannot be
    // had; the map is unchanged in both cases.
    [[nodiscard]] HResult Add(const char16_t* name, const char16_t* value) noexcept;
    void Clear() noexcept;
    const char16_t* Find(const char16_t* name) const noexcept;
    std::size_t Count() const noexcept { return count_; }

  private:
    char16_t** names_ = nullptr;
    char16_t** values_ = nullptr;
    std::size_t count_ = 0;
};

}  // namespace nivra
