#include "memory_registry.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace nivra::testing {

namespace {

std::string Fold(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

// The key under which a child or value is filed: Fold(Narrow(name)) in one pass.
std::string FoldedName(const char16_t* name) {
    std::string out;
    if (name == nullptr)
        return out;
    out.reserve(std::char_traits<char16_t>::length(name));
    for (; *name != 0; ++name) {
        const char16_t unit = *name;
        out += unit >= u'A' && unit <= u'Z' ? static_cast<char>(unit - u'A' + 'a')
               : unit < 128                 ? static_cast<char>(unit)
                                            : '?';
    }
    return out;
}

const char* const kRootNames[] = {"HKCR", "HKCU", "HKLM", "HKU", "HKPD", "HKCC", "HKDD"};

const char* OpName(RegOp op) {
    switch (op) {
        case RegOp::kOpen:
            return "open";
        case RegOp::kCreate:
            return "create";
        case RegOp::kClose:
            return "close";
        case RegOp::kSetValue:
            return "set";
        case RegOp::kDeleteValue:
            return "deletevalue";
        case RegOp::kDeleteKey:
            return "deletekey";
        case RegOp::kEnumerate:
            return "enum";
        case RegOp::kCount:
            return "count";
    }
    return "?";
}

std::string Hex(const std::vector<std::uint8_t>& data) {
    std::string text;
    char digits[3];
    for (std::uint8_t byte : data) {
        std::snprintf(digits, sizeof digits, "%02x", byte);
        text += digits;
    }
    return text;
}

}  // namespace

// Non-ASCII units become "?" so that expectations stay plain strings.
std::string Narrow(const char16_t* text) {
    std::string out;
    for (; text != nullptr && *text != 0; ++text)
        out += *text < 128 ? static_cast<char>(*text) : '?';
    return out;
}

std::u16string Widen(const std::string& text) {
    return std::u16string(text.begin(), text.end());
}

MemoryRegistry::MemoryRegistry() {
    for (std::uint32_t i = 0; i < 7; ++i) {
        auto node = std::make_shared<Node>();
        node->name = kRootNames[i];
        roots_[PredefinedKey(0x80000000u + i)] = node;
    }
}

// The registry refuses a name over the limit whatever the call, rather than not finding it.
static bool TooLong(const char16_t* name) {
    return name != nullptr && std::char_traits<char16_t>::length(name) > kMaxKeyNameLength;
}

std::int32_t MemoryRegistry::Intercept(RegOp op, RegKey key, const char16_t* name) {
    ++callCount_;
    if (recording_) {
        std::string line = OpName(op);
        std::uint32_t access = 0;
        if (auto node = Resolve(key, &access))
            line += " " + PathOf(*node);
        if (name != nullptr)
            line += " " + Narrow(name);
        calls_.push_back(std::move(line));
    }
    if (failNumber_ != 0 && callCount_ == failNumber_)
        return failNumberError_;
    if (failures_.empty())
        return kErrorSuccess;
    const std::string foldedName = FoldedName(name);
    for (auto it = failures_.begin(); it != failures_.end(); ++it) {
        if (it->op == op && (it->name.empty() || Fold(it->name) == foldedName)) {
            const std::int32_t error = it->error;
            failures_.erase(it);
            return error;
        }
    }
    return kErrorSuccess;
}

// Built in one pass: prepending each parent would copy the path once per level.
std::string MemoryRegistry::PathOf(const Node& node) {
    std::vector<const Node*> chain;
    std::size_t length = 0;
    for (const Node* up = &node; up != nullptr; up = up->parent) {
        chain.push_back(up);
        length += up->name.size() + 1;
    }
    std::string path;
    path.reserve(length);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (it != chain.rbegin())
            path += '\\';
        path += (*it)->name;
    }
    return path;
}

std::shared_ptr<MemoryRegistry::Node> MemoryRegistry::Resolve(RegKey key, std::uint32_t* access) {
    auto root = roots_.find(key);
    if (root != roots_.end()) {
        *access = kKeyReadWrite;
        return root->second;
    }
    auto handle = handles_.find(key);
    if (handle == handles_.end())
        return nullptr;
    *access = handle->second.access;
    return handle->second.node;
}

RegKey MemoryRegistry::NewHandle(std::shared_ptr<Node> node, std::uint32_t access) {
    const RegKey key = nextHandle_;
    nextHandle_ += 4;
    handles_[key] = Handle{std::move(node), access};
    return key;
}

std::int32_t MemoryRegistry::OpenKey(RegKey parent, const char16_t* subkey, std::uint32_t access,
                                     RegKey* opened) noexcept {
    *opened = kNoKey;
    if (std::int32_t error = Intercept(RegOp::kOpen, parent, subkey))
        return error;
    std::uint32_t parentAccess = 0;
    auto node = Resolve(parent, &parentAccess);
    if (node == nullptr)
        return kErrorInvalidHandle;
    if (node->deleted)
        return 1018;  // ERROR_KEY_DELETED
    if (TooLong(subkey))
        return kErrorInvalidParameter;
    if (subkey != nullptr && *subkey != 0) {
        auto child = node->children.find(FoldedName(subkey));
        if (child == node->children.end())
            return kErrorFileNotFound;
        node = child->second;
    } else if (roots_.count(parent) != 0) {
        // As advapi32 does: a root opened again is the root's own handle, not a new one.
        *opened = parent;
        return kErrorSuccess;
    }
    if (node->readOnly && (access & (kKeySetValue | kKeyCreateSubKey)) != 0)
        return kErrorAccessDenied;
    *opened = NewHandle(node, access);
    return kErrorSuccess;
}

std::int32_t MemoryRegistry::CreateKey(RegKey parent, const char16_t* name, std::uint32_t access,
                                       RegKey* created) noexcept {
    *created = kNoKey;
    if (std::int32_t error = Intercept(RegOp::kCreate, parent, name))
        return error;
    std::uint32_t parentAccess = 0;
    auto node = Resolve(parent, &parentAccess);
    if (node == nullptr)
        return kErrorInvalidHandle;
    if (node->deleted)
        return 1018;
    if (name == nullptr || *name == 0) {
        if (node->readOnly && (access & (kKeySetValue | kKeyCreateSubKey)) != 0)
            return kErrorAccessDenied;
        *created = NewHandle(node, access);
        return kErrorSuccess;
    }
    if (TooLong(name))
        return kErrorInvalidParameter;
    const std::string foldedName = FoldedName(name);
    auto found = node->children.find(foldedName);
    if (found == node->children.end()) {
        if ((parentAccess & kKeyCreateSubKey) == 0)
            return kErrorAccessDenied;
        found = node->children.emplace(foldedName, nullptr).first;
    }
    auto& slot = found->second;
    if (slot == nullptr) {
        slot = std::make_shared<Node>();
        slot->name = Narrow(name);
        slot->parent = node.get();
    } else if (slot->readOnly && (access & (kKeySetValue | kKeyCreateSubKey)) != 0) {
        return kErrorAccessDenied;
    }
    *created = NewHandle(slot, access);
    return kErrorSuccess;
}

std::int32_t MemoryRegistry::CloseKey(RegKey key) noexcept {
    if (std::int32_t error = Intercept(RegOp::kClose, key, nullptr)) {
        handles_.erase(key);  // the handle is gone whatever the close reports
        return error;
    }
    if (roots_.count(key) != 0)
        return kErrorSuccess;
    return handles_.erase(key) != 0 ? kErrorSuccess : kErrorInvalidHandle;
}

std::int32_t MemoryRegistry::SetValue(RegKey key, const char16_t* name, std::uint32_t type,
                                      const void* data, std::uint32_t bytes) noexcept {
    if (std::int32_t error = Intercept(RegOp::kSetValue, key, name != nullptr ? name : u""))
        return error;
    std::uint32_t access = 0;
    auto node = Resolve(key, &access);
    if (node == nullptr)
        return kErrorInvalidHandle;
    if (node->deleted)
        return 1018;
    if ((access & kKeySetValue) == 0)
        return kErrorAccessDenied;
    auto& slot = node->values[FoldedName(name)];
    if (slot.first.empty())
        slot.first = Narrow(name);  // an existing value keeps the case of its first name
    slot.second.type = type;
    const auto* begin = static_cast<const std::uint8_t*>(data);
    slot.second.data.assign(begin, begin + bytes);
    return kErrorSuccess;
}

std::int32_t MemoryRegistry::DeleteValue(RegKey key, const char16_t* name) noexcept {
    if (std::int32_t error = Intercept(RegOp::kDeleteValue, key, name))
        return error;
    std::uint32_t access = 0;
    auto node = Resolve(key, &access);
    if (node == nullptr)
        return kErrorInvalidHandle;
    if (node->deleted)
        return 1018;
    if ((access & kKeySetValue) == 0)
        return kErrorAccessDenied;
    return node->values.erase(FoldedName(name)) != 0 ? kErrorSuccess : kErrorFileNotFound;
}

std::int32_t MemoryRegistry::DeleteKey(RegKey parent, const char16_t* name) noexcept {
    if (std::int32_t error = Intercept(RegOp::kDeleteKey, parent, name))
        return error;
    std::uint32_t access = 0;
    auto node = Resolve(parent, &access);
    if (node == nullptr)
        return kErrorInvalidHandle;
    if (node->deleted)
        return 1018;
    if (name == nullptr || *name == 0)
        return kErrorInvalidParameter;
    if (TooLong(name))
        return kErrorInvalidParameter;
    auto child = node->children.find(FoldedName(name));
    if (child == node->children.end())
        return kErrorFileNotFound;
    if (!child->second->children.empty() || child->second->readOnly)
        return kErrorAccessDenied;
    child->second->deleted = true;
    child->second->parent = nullptr;
    node->children.erase(child);
    return kErrorSuccess;
}

std::int32_t MemoryRegistry::EnumerateKey(RegKey key, std::uint32_t index, char16_t* name,
                                          std::uint32_t* nameUnits) noexcept {
    if (std::int32_t error = Intercept(RegOp::kEnumerate, key, nullptr))
        return error;
    std::uint32_t access = 0;
    auto node = Resolve(key, &access);
    if (node == nullptr)
        return kErrorInvalidHandle;
    if (node->deleted)
        return 1018;
    if ((access & kKeyEnumerateSubKeys) == 0)
        return kErrorAccessDenied;
    if (index >= node->children.size())
        return kErrorNoMoreItems;
    auto child = node->children.begin();
    std::advance(child, index);
    const std::string& childName = child->second->name;
    if (childName.size() + 1 > *nameUnits)
        return kErrorMoreData;
    for (std::size_t i = 0; i < childName.size(); ++i)
        name[i] = static_cast<unsigned char>(childName[i]);
    name[childName.size()] = 0;
    *nameUnits = static_cast<std::uint32_t>(childName.size());
    return kErrorSuccess;
}

std::int32_t MemoryRegistry::CountSubkeys(RegKey key, std::uint32_t* count) noexcept {
    if (std::int32_t error = Intercept(RegOp::kCount, key, nullptr))
        return error;
    std::uint32_t access = 0;
    auto node = Resolve(key, &access);
    if (node == nullptr)
        return kErrorInvalidHandle;
    if (node->deleted)
        return 1018;
    if ((access & kKeyQueryValue) == 0)
        return kErrorAccessDenied;
    *count = static_cast<std::uint32_t>(node->children.size());
    return kErrorSuccess;
}

std::shared_ptr<MemoryRegistry::Node> MemoryRegistry::NodeAt(const std::string& path,
                                                             bool create) const {
    std::shared_ptr<Node> node;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string::npos)
            end = path.size();
        const std::string part = path.substr(start, end - start);
        if (node == nullptr) {
            for (const auto& root : roots_) {
                if (root.second->name == part)
                    node = root.second;
            }
            if (node == nullptr)
                return nullptr;
        } else {
            auto& slot = node->children[Fold(part)];
            if (slot == nullptr) {
                if (!create) {
                    node->children.erase(Fold(part));
                    return nullptr;
                }
                slot = std::make_shared<Node>();
                slot->name = part;
                slot->parent = node.get();
            }
            node = slot;
        }
        start = end + 1;
    }
    return node;
}

void MemoryRegistry::AddKey(const std::string& path) {
    NodeAt(path, true);
}

void MemoryRegistry::AddString(const std::string& path, const std::string& name,
                               const std::string& text) {
    auto node = NodeAt(path, true);
    Value value;
    value.type = kRegSz;
    for (char c : text) {
        value.data.push_back(static_cast<std::uint8_t>(c));
        value.data.push_back(0);
    }
    value.data.push_back(0);
    value.data.push_back(0);
    node->values[Fold(name)] = {name, value};
}

bool MemoryRegistry::HasKey(const std::string& path) const {
    return NodeAt(path, false) != nullptr;
}

const MemoryRegistry::Value* MemoryRegistry::FindValue(const std::string& path,
                                                       const std::string& name) const {
    auto node = NodeAt(path, false);
    if (node == nullptr)
        return nullptr;
    auto value = node->values.find(Fold(name));
    return value == node->values.end() ? nullptr : &value->second.second;
}

std::string MemoryRegistry::StringValue(const std::string& path, const std::string& name) const {
    const Value* value = FindValue(path, name);
    if (value == nullptr)
        return "<none>";
    std::string text;
    for (std::size_t i = 0; i + 1 < value->data.size(); i += 2) {
        const unsigned unit = value->data[i] | (value->data[i + 1] << 8);
        if (unit == 0)
            break;
        text += unit < 128 ? static_cast<char>(unit) : '?';
    }
    return text;
}

void MemoryRegistry::MakeReadOnly(const std::string& path) {
    NodeAt(path, true)->readOnly = true;
}

void MemoryRegistry::FailCall(RegOp op, const std::string& name, std::int32_t error) {
    failures_.push_back(Failure{op, name, error});
}

void MemoryRegistry::FailCallNumber(std::size_t number, std::int32_t error) {
    failNumber_ = number;
    failNumberError_ = error;
}

void MemoryRegistry::ResetCalls() {
    calls_.clear();
    callCount_ = 0;
}

void MemoryRegistry::DumpNode(const Node& node, const std::string& path,
                              std::vector<std::string>& out) const {
    for (const auto& entry : node.values) {
        const Value& value = entry.second.second;
        std::string line = path + "|" + entry.second.first + "=";
        if (value.type == kRegSz)
            line += "S:" + StringValue(path, entry.second.first);
        else
            line += std::to_string(value.type) + ":" + Hex(value.data);
        out.push_back(line);
    }
    for (const auto& entry : node.children) {
        const std::string childPath = path + "\\" + entry.second->name;
        out.push_back(childPath);
        DumpNode(*entry.second, childPath, out);
    }
}

std::vector<std::string> MemoryRegistry::Dump() const {
    std::vector<std::string> out;
    for (const auto& root : roots_)
        DumpNode(*root.second, root.second->name, out);
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace nivra::testing
