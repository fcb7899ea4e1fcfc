// Runs an expanded registry script against a registry, as a register pass that creates keys
// and writes values or as an unregister pass that removes what the script describes.
#pragma once

#include <cstddef>

#include "common/result_codes.h"
#include "registrar/registry.h"
#include "registrar/registry_key.h"
#include "registrar/script_tokenizer.h"
#include "registrar/variable_lookup.h"

namespace nivra {

// Blocks nest no deeper than the registry's own keys can (512 levels), which also bounds the
// recursion a script can cause.
inline constexpr unsigned kMaxBlockDepth = 512;

class CRegScriptInterpreter {
  public:
    CRegScriptInterpreter(IRegistry& registry, const IVariableLookup& variables) noexcept
        : registry_(registry), variables_(variables) {}
    CRegScriptInterpreter(const CRegScriptInterpreter&) = delete;
    CRegScriptInterpreter& operator=(const CRegScriptInterpreter&) = delete;

    // Expands `script` and runs every root block. A failed root block of the register pass is
    // unregistered again before the failure is returned; earlier blocks stay.
    [[nodiscard]] HResult RunScript(const char16_t* script, bool registerPass) noexcept;

    // Called after a block's "{"; returns once the token that closes it has been read.
    [[nodiscard]] HResult ProcessBlock(RegKey parent, bool registerPass, bool skipping,
                                       unsigned depth) noexcept;
    // Called with "=" in the token buffer; leaves the token after the value there.
    [[nodiscard]] HResult WriteValue(RegKey key, const char16_t* valueName) noexcept;
    bool KeyHasSubkeys(RegKey key) noexcept;

    // The tokenizer over the script being run, for callers that drive ProcessBlock directly.
    CScriptTokenizer& Tokenizer() noexcept { return tokenizer_; }
    const char16_t* Token() const noexcept { return token_; }

  private:
    HResult RunBlocks(bool registerPass) noexcept;
    HResult RegisterEntry(RegKey parent, CRegistryKey& current, unsigned depth) noexcept;
    HResult UnregisterEntry(RegKey parent, bool skipping, unsigned depth) noexcept;
    HResult DeleteNamedValue(RegKey parent) noexcept;
    HResult ReadToken() noexcept { return tokenizer_.ReadToken(token_); }
    HResult RefuseBlock() const noexcept;

    IRegistry& registry_;
    const IVariableLookup& variables_;
    CScriptTokenizer tokenizer_;
    // One of each per run: a value name and a value are used up before any nested block.
    TokenBuffer token_ = {};
    TokenBuffer valueName_ = {};
    TokenBuffer value_ = {};
};

}  // namespace nivra
