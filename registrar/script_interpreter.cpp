#include "registrar/script_interpreter.h"

#include <cstring>

#include "common/heap.h"
#include "common/wide_string.h"
#include "registrar/script_tables.h"
#include "registrar/script_text.h"
#include "registrar/small_buffer.h"
#include "registrar/value_encoding.h"
#include "registrar/variable_expansion.h"

namespace nivra {

namespace {

constexpr std::size_t kMultiStringInlineUnits = 128;
constexpr std::size_t kBinaryInlineBytes = 256;
// Most key names fit here; longer ones (up to a whole token) go to the seam.
constexpr std::size_t kKeyNameInlineUnits = 260;

bool IsKeyword(const char16_t* token, const char16_t* keyword) noexcept {
    return EqualsIgnoringCase(token, keyword);
}

bool IsOpenBrace(const char16_t* token) noexcept {
    return token[0] == u'{' && token[1] == u'\0';
}

// The name of a key entry, kept while its nested block overwrites the token buffer.
class CKeyName {
  public:
    [[nodiscard]] bool Assign(const char16_t* name) noexcept {
        const std::size_t length = TextLength(name);
        if (!units_.Allocate(length + 1))
            return false;
        std::memcpy(units_.Data(), name, length * sizeof(char16_t));
        return true;
    }
    const char16_t* Text() const noexcept { return units_.Data(); }

  private:
    CSmallBuffer<char16_t, kKeyNameInlineUnits> units_;
};

}  // namespace

HResult CRegScriptInterpreter::RunScript(const char16_t* script, bool registerPass) noexcept {
    char16_t* expanded = nullptr;
    NV_RETURN_IF_FAILED(ExpandVariables(script, variables_, &expanded));
    tokenizer_.SetCursor(expanded);
    const HResult result = RunBlocks(registerPass);
    tokenizer_.SetCursor(u"");
    MemFree(expanded);
    return result;
}

HResult CRegScriptInterpreter::RunBlocks(bool registerPass) noexcept {
    while (!tokenizer_.AtEnd()) {
        NV_RETURN_IF_FAILED(ReadToken());
        const RegKey root = RootKeyFromName(token_);
        if (root == kNoKey)
            return kDispException;
        NV_RETURN_IF_FAILED(ReadToken());
        if (token_[0] != u'{')
            return kDispException;
        if (registerPass) {
            const char16_t* blockStart = tokenizer_.Cursor();
            const HResult result = ProcessBlock(root, true, false, 1);
            if (Failed(result)) {
                // Undo what this block may have made; its own result does not matter.
                tokenizer_.SetCursor(blockStart);
                (void)ProcessBlock(root, false, false, 1);
                return result;
            }
        } else {
            NV_RETURN_IF_FAILED(ProcessBlock(root, false, false, 1));
        }
        tokenizer_.SkipBlanks();
    }
    return kOk;
}

HResult CRegScriptInterpreter::ProcessBlock(RegKey parent, bool registerPass, bool skipping,
                                            unsigned depth) noexcept {
    if (depth > kMaxBlockDepth)
        return kDispException;
    CRegistryKey current(registry_);
    NV_RETURN_IF_FAILED(ReadToken());
    while (token_[0] != u'}') {
        if (registerPass) {
            NV_RETURN_IF_FAILED(RegisterEntry(parent, current, depth));
        } else {
            NV_RETURN_IF_FAILED(UnregisterEntry(parent, skipping, depth));
        }
    }
    return kOk;
}

// Named values and "Delete" entries have no block of their own.
HResult CRegScriptInterpreter::RefuseBlock() const noexcept {
    return IsOpenBrace(token_) ? kDispException : kOk;
}

HResult CRegScriptInterpreter::RegisterEntry(RegKey parent, CRegistryKey& current,
                                             unsigned depth) noexcept {
    const bool isDelete = IsKeyword(token_, u"Delete");
    if (isDelete || IsKeyword(token_, u"ForceRemove")) {
        NV_RETURN_IF_FAILED(ReadToken());
        if (ContainsBackslash(token_))
            return kDispException;
        if (!IsProtectedKeyName(token_)) {
            CRegistryKey parentKey(registry_);
            parentKey.Attach(parent);
            (void)parentKey.DeleteTree(token_);  // an absent or stubborn key is no failure here
            (void)parentKey.Detach();
        }
        if (isDelete) {
            NV_RETURN_IF_FAILED(ReadToken());
            NV_RETURN_IF_FAILED(tokenizer_.SkipValueClause(token_));
            return RefuseBlock();
        }
    }
    if (IsKeyword(token_, u"NoRemove"))
        NV_RETURN_IF_FAILED(ReadToken());
    if (IsKeyword(token_, u"Val")) {
        NV_RETURN_IF_FAILED(tokenizer_.ReadToken(valueName_));
        NV_RETURN_IF_FAILED(ReadToken());
        if (token_[0] != u'=')
            return kDispException;
        NV_RETURN_IF_FAILED(WriteValue(parent, valueName_));
        return RefuseBlock();
    }
    if (ContainsBackslash(token_))
        return kDispException;
    // A key that opens only for reading is still used; writing into it then fails.
    if (current.Open(parent, token_, kKeyReadWrite) != kErrorSuccess &&
        current.Open(parent, token_, kKeyRead) != kErrorSuccess) {
        const std::int32_t error = current.Create(parent, token_);
        if (error != kErrorSuccess)
            return HResultFromWin32(error);
    }
    NV_RETURN_IF_FAILED(ReadToken());
    if (token_[0] == u'=')
        NV_RETURN_IF_FAILED(WriteValue(current.Get(), nullptr));
    if (IsOpenBrace(token_)) {
        NV_RETURN_IF_FAILED(ProcessBlock(current.Get(), true, false, depth + 1));
        NV_RETURN_IF_FAILED(ReadToken());
    }
    return kOk;
}

HResult CRegScriptInterpreter::DeleteNamedValue(RegKey parent) noexcept {
    CRegistryKey key(registry_);
    std::int32_t error = key.Open(parent, nullptr, kKeyWrite);
    if (error != kErrorSuccess)
        return HResultFromWin32(error);
    error = registry_.DeleteValue(key.Get(), valueName_);
    if (error != kErrorSuccess && error != kErrorFileNotFound)
        return HResultFromWin32(error);
    return HResultFromWin32(key.Close());
}

HResult CRegScriptInterpreter::UnregisterEntry(RegKey parent, bool skipping,
                                               unsigned depth) noexcept {
    // "Delete" and "ForceRemove" change nothing here: the key is removed like any other.
    const bool isDelete = IsKeyword(token_, u"Delete");
    if (isDelete || IsKeyword(token_, u"ForceRemove"))
        NV_RETURN_IF_FAILED(ReadToken());
    // The register pass took the token after "Delete" as the key to delete and reads on from
    // the next one, so only a block right after that token belongs to the "Delete" entry.
    bool nameFollowsDelete = isDelete;
    bool mayDelete = true;
    if (IsKeyword(token_, u"NoRemove")) {
        mayDelete = false;
        nameFollowsDelete = false;
        NV_RETURN_IF_FAILED(ReadToken());
    }
    if (IsKeyword(token_, u"Val")) {
        NV_RETURN_IF_FAILED(tokenizer_.ReadToken(valueName_));
        NV_RETURN_IF_FAILED(ReadToken());
        if (token_[0] != u'=')
            return kDispException;
        if (!skipping && mayDelete)
            NV_RETURN_IF_FAILED(DeleteNamedValue(parent));
        NV_RETURN_IF_FAILED(tokenizer_.SkipValueClause(token_));
        return RefuseBlock();
    }
    if (ContainsBackslash(token_))
        return kDispException;

    CRegistryKey key(registry_);
    const std::int32_t status = skipping ? kErrorFileNotFound : key.Open(parent, token_, kKeyRead);
    CKeyName name;
    if (!name.Assign(token_))
        return kOutOfMemory;
    NV_RETURN_IF_FAILED(ReadToken());
    NV_RETURN_IF_FAILED(tokenizer_.SkipValueClause(token_));
    if (nameFollowsDelete)
        NV_RETURN_IF_FAILED(RefuseBlock());
    if (IsOpenBrace(token_)) {
        // A skipped block touches nothing, but its syntax errors still end the run: going on
        // from the middle of it would read its entries as entries of this block.
        NV_RETURN_IF_FAILED(
            ProcessBlock(key.Get(), false, skipping || status != kErrorSuccess, depth + 1));
        NV_RETURN_IF_FAILED(ReadToken());
    }
    if (status == kErrorFileNotFound)
        return kOk;
    if (status != kErrorSuccess)
        return HResultFromWin32(status);

    const bool hasSubkeys = KeyHasSubkeys(key.Get());
    NV_RETURN_IF_FAILED(HResultFromWin32(key.Close()));
    if (mayDelete && !hasSubkeys)
        NV_RETURN_IF_FAILED(HResultFromWin32(registry_.DeleteKey(parent, name.Text())));
    return kOk;
}

HResult CRegScriptInterpreter::WriteValue(RegKey key, const char16_t* valueName) noexcept {
    NV_RETURN_IF_FAILED(ReadToken());
    const ScriptValueType type = ValueTypeFromLetter(token_);
    if (type == ScriptValueType::kNone)
        return kDispException;
    tokenizer_.SkipBlanks();
    NV_RETURN_IF_FAILED(tokenizer_.ReadToken(value_));
    const std::size_t length = TextLength(value_);

    std::int32_t error = kErrorSuccess;
    switch (type) {
        case ScriptValueType::kString:
            error = registry_.SetValue(key, valueName, kRegSz, value_,
                                       static_cast<std::uint32_t>((length + 1) * 2));
            break;
        case ScriptValueType::kMultiString: {
            CSmallBuffer<char16_t, kMultiStringInlineUnits> strings;
            if (!strings.Allocate(length + 2)) {
                error = kErrorOutOfMemory;
                break;
            }
            const std::size_t units = EncodeMultiString(value_, length, strings.Data());
            error = registry_.SetValue(key, valueName, kRegMultiSz, strings.Data(),
                                       static_cast<std::uint32_t>(units * 2));
            break;
        }
        case ScriptValueType::kDword: {
            std::uint32_t number = 0;
            if (!ParseDword(value_, &number))
                return kDispException;
            const std::uint8_t bytes[4] = {
                static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8),
                static_cast<std::uint8_t>(number >> 16), static_cast<std::uint8_t>(number >> 24)};
            error = registry_.SetValue(key, valueName, kRegDword, bytes, 4);
            break;
        }
        case ScriptValueType::kBinary: {
            if (length % 2 != 0)
                return kFail;
            CSmallBuffer<std::uint8_t, kBinaryInlineBytes> bytes;
            if (!bytes.Allocate(length / 2))
                return kFail;
            DecodeBinary(value_, length, bytes.Data());
            error = registry_.SetValue(key, valueName, kRegBinary, bytes.Data(),
                                       static_cast<std::uint32_t>(length / 2));
            break;
        }
        case ScriptValueType::kNone:
            return kDispException;
    }
    if (error != kErrorSuccess)
        return HResultFromWin32(error);
    return ReadToken();
}

bool CRegScriptInterpreter::KeyHasSubkeys(RegKey key) noexcept {
    std::uint32_t count = 0;
    return registry_.CountSubkeys(key, &count) == kErrorSuccess && count > 0;
}

}  // namespace nivra
