// An in-memory registry for tests: predefined roots always open (opened again through an empty
// name, they hand back their own handle), case-blind names that keep the
// case they were created with, names over 255 units refused (87), subkeys enumerated in sorted
// order, RegDeleteKeyW's refusal of keys with subkeys, error 1018 on keys deleted while open,
// per-handle access rights, read-only keys, injected failures and a log of every call.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "registrar/registry.h"

namespace nivra::testing {

enum class RegOp {
    kOpen,
    kCreate,
    kClose,
    kSetValue,
    kDeleteValue,
    kDeleteKey,
    kEnumerate,
    kCount
};

class MemoryRegistry : public IRegistry {
  public:
    struct Value {
        std::uint32_t type = 0;
        std::vector<std::uint8_t> data;
    };

    MemoryRegistry();

    std::int32_t OpenKey(RegKey parent, const char16_t* subkey, std::uint32_t access,
                         RegKey* opened) noexcept override;
    std::int32_t CreateKey(RegKey parent, const char16_t* name, std::uint32_t access,
                           RegKey* created) noexcept override;
    std::int32_t CloseKey(RegKey key) noexcept override;
    std::int32_t SetValue(RegKey key, const char16_t* name, std::uint32_t type, const void* data,
                          std::uint32_t bytes) noexcept override;
    std::int32_t DeleteValue(RegKey key, const char16_t* name) noexcept override;
    std::int32_t DeleteKey(RegKey parent, const char16_t* name) noexcept override;
    std::int32_t EnumerateKey(RegKey key, std::uint32_t index, char16_t* name,
                              std::uint32_t* nameUnits) noexcept override;
    std::int32_t CountSubkeys(RegKey key, std::uint32_t* count) noexcept override;

    // Paths are "HKCR\\a\\b" (root names HKCR, HKCU, HKLM, HKU, HKPD, HKCC, HKDD).
    void AddKey(const std::string& path);
    void AddString(const std::string& path, const std::string& name, const std::string& text);
    bool HasKey(const std::string& path) const;
    const Value* FindValue(const std::string& path, const std::string& name) const;
    // The default value is named "".
    std::string StringValue(const std::string& path, const std::string& name) const;
    // Opening the key with write rights, and deleting it, are refused with error 5.
    void MakeReadOnly(const std::string& path);
    // The first later call of `op` whose name (subkey or value) is `name` ("" matches any)
    // fails with `error`; only once.
    void FailCall(RegOp op, const std::string& name, std::int32_t error);
    // The call with this number (counting from 1 since the last ResetCalls) fails.
    void FailCallNumber(std::size_t number, std::int32_t error);
    void ResetCalls();
    // Benchmarks switch the call log off.
    void SetRecording(bool on) { recording_ = on; }

    // One line per key ("HKCR\\a") and per value ("HKCR\\a|name=S:text"), sorted.
    std::vector<std::string> Dump() const;
    const std::vector<std::string>& Calls() const { return calls_; }
    std::size_t OpenHandles() const { return handles_.size(); }

  private:
    struct Node {
        std::string name;
        bool readOnly = false;
        bool deleted = false;
        std::map<std::string, std::shared_ptr<Node>> children;  // by folded name
        std::map<std::string, std::pair<std::string, Value>> values;
        Node* parent = nullptr;
    };
    struct Handle {
        std::shared_ptr<Node> node;
        std::uint32_t access;
    };

    std::int32_t Intercept(RegOp op, RegKey key, const char16_t* name);
    static std::string PathOf(const Node& node);
    std::shared_ptr<Node> Resolve(RegKey key, std::uint32_t* access);
    std::shared_ptr<Node> NodeAt(const std::string& path, bool create) const;
    RegKey NewHandle(std::shared_ptr<Node> node, std::uint32_t access);
    void DumpNode(const Node& node, const std::string& path, std::vector<std::string>& out) const;

    std::map<RegKey, std::shared_ptr<Node>> roots_;
    std::map<RegKey, Handle> handles_;
    RegKey nextHandle_ = 0x1000;
    std::vector<std::string> calls_;
    bool recording_ = true;
    std::size_t callCount_ = 0;
    struct Failure {
        RegOp op;
        std::string name;
        std::int32_t error;
    };
    std::vector<Failure> failures_;
    std::size_t failNumber_ = 0;
    std::int32_t failNumberError_ = 0;
};

std::string Narrow(const char16_t* text);
std::u16string Widen(const std::string& text);

}  // namespace nivra::testing
