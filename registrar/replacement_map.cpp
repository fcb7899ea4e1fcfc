#include "registrar/replacement_map.h"

#include <cstring>

#include "common/heap.h"
#include "common/wide_string.h"
#include "registrar/script_text.h"

namespace nivra {

namespace {

char16_t* CopyText(const char16_t* text) noexcept {
    const std::size_t units = TextLength(text) + 1;
    auto* copy = static_cast<char16_t*>(MemAllocate(units * sizeof(char16_t)));
    if (copy != nullptr)
        std::memcpy(copy, text, units * sizeof(char16_t));
    return copy;
}

// Grows an array of texts by one slot; the old array stays valid when that fails.
bool GrowByOne(char16_t**& array, std::size_t count) noexcept {
    void* grown = MemReallocate(array, (count + 1) * sizeof(char16_t*));
    if (grown == nullptr)
        return false;
    array = static_cast<char16_t**>(grown);
    return true;
}

}  // namespace

HResult CReplacementMap::Add(const char16_t* name, const char16_t* value) noexcept {
    if (name == nullptr || value == nullptr)
        return kInvalidArg;
    char16_t* nameCopy = CopyText(name);
    char16_t* valueCopy = CopyText(value);
    if (nameCopy == nullptr || valueCopy == nullptr || !GrowByOne(names_, count_) ||
        !GrowByOne(values_, count_)) {
        MemFree(nameCopy);
        MemFree(valueCopy);
        return kOutOfMemory;
    }
    names_[count_] = nameCopy;
    values_[count_] = valueCopy;
    ++count_;
    return kOk;
}

void CReplacementMap::Clear() noexcept {
    for (std::size_t i = 0; i < count_; ++i) {
        MemFree(names_[i]);
        MemFree(values_[i]);
    }
    MemFree(names_);
    MemFree(values_);
    names_ = nullptr;
    values_ = nullptr;
    count_ = 0;
}

const char16_t* CReplacementMap::Find(const char16_t* name) const noexcept {
    if (name == nullptr)
        return nullptr;
    for (std::size_t i = 0; i < count_; ++i) {
        if (EqualsIgnoringCase(names_[i], name))
            return values_[i];
    }
    return nullptr;
}

}  // namespace nivra
