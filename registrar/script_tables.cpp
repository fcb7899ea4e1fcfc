#include "registrar/script_tables.h"

#include <cstddef>

#include "registrar/script_text.h"

namespace nivra {

namespace {

struct RootName {
    const char16_t* name;
    RegKey key;
};

constexpr RootName kRootNames[] = {
    {u"HKCR", kClassesRoot},
    {u"HKCU", kCurrentUser},
    {u"HKLM", kLocalMachine},
    {u"HKU", kUsers},
    {u"HKPD", kPerformanceData},
    {u"HKDD", kDynData},
    {u"HKCC", kCurrentConfig},
    {u"HKEY_CLASSES_ROOT", kClassesRoot},
    {u"HKEY_CURRENT_USER", kCurrentUser},
    {u"HKEY_LOCAL_MACHINE", kLocalMachine},
    {u"HKEY_USERS", kUsers},
    {u"HKEY_PERFORMANCE_DATA", kPerformanceData},
    {u"HKEY_DYN_DATA", kDynData},
    {u"HKEY_CURRENT_CONFIG", kCurrentConfig},
};

struct TypeLetter {
    const char16_t* letter;
    ScriptValueType type;
};

constexpr TypeLetter kTypeLetters[] = {
    {u"S", ScriptValueType::kString},
    {u"M", ScriptValueType::kMultiString},
    {u"D", ScriptValueType::kDword},
    {u"B", ScriptValueType::kBinary},
};

constexpr const char16_t* kProtectedNames[] = {
    u"AppID",    u"CLSID",     u"Component Categories",
    u"FileType", u"Interface", u"Hardware",
    u"Mime",     u"SAM",       u"SECURITY",
    u"SYSTEM",   u"Software",  u"TypeLib",
};

}  // namespace

RegKey RootKeyFromName(const char16_t* token) noexcept {
    for (const RootName& root : kRootNames) {
        if (EqualsIgnoringCase(token, root.name))
            return root.key;
    }
    return kNoKey;
}

ScriptValueType ValueTypeFromLetter(const char16_t* token) noexcept {
    for (const TypeLetter& entry : kTypeLetters) {
        if (EqualsIgnoringCase(token, entry.letter))
            return entry.type;
    }
    return ScriptValueType::kNone;
}

bool IsProtectedKeyName(const char16_t* name) noexcept {
    for (const char16_t* protectedName : kProtectedNames) {
        if (EqualsIgnoringCase(name, protectedName))
            return true;
    }
    return false;
}

}  // namespace nivra
