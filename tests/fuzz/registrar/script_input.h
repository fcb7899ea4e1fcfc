// The script fuzzer's input and one run of it, shared with the native test that checks what
// inputs under the length cap can still reach.
//
// Input: bit 0 of byte 0 chooses the text form (0: one unit per byte, 1: UTF-16LE) and byte 1,
// when not zero, makes the allocation seam fail after that many successes. The rest is the
// script. When bit 1 of byte 0 is set, the text before its first NUL is the registrar's variable
// list instead of the fixed one: entries separated by U+0001, each "name=value" (no "=": an
// empty value), added through the registrar's own map, which the script then reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/result_codes.h"

namespace nivra::fuzzing {

// Longer inputs are skipped, and scripts/fuzz.sh hands the same figure to libFuzzer: the cost
// of a run grows with the input, and longer inputs reach nothing new. Every limit of the
// language is still within reach through variables (%CLSID% gives 38 units for 7 bytes, a
// variable from the input any text for 3); fuzz_input_test.cpp checks that.
inline constexpr std::size_t kMaxInputBytes = 1024;
// Expansion hands out at most this many units of variable values per pass, enough for the
// longest token: a few bytes that name a long value many times would otherwise cost far more
// than their length.
inline constexpr std::size_t kExpansionBudgetUnits = 4096;
// Entries of the variable list after these are not added: the map is searched entry by entry.
inline constexpr std::size_t kMaxInputVariables = 64;

struct ScriptInput {
    std::u16string script;
    bool variablesFromInput = false;
    std::u16string variableList;
    std::uint8_t allocationsBeforeFailure = 0;  // 0: the seam never refuses
};

// False for an input shorter than its two header bytes or longer than kMaxInputBytes.
bool DecodeScriptInput(const std::uint8_t* data, std::size_t size, ScriptInput* input);

// Runs the register pass and then the unregister pass against a fresh in-memory registry, and
// aborts when a pass leaves a handle open or a variable lookup disagrees with what was added.
// Returns the register pass's result.
HResult RunScriptInput(const ScriptInput& input);

}  // namespace nivra::fuzzing
