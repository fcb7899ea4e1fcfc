// Single registry calls whose answers the interpreter depends on, asked of the in-memory
// registry and of advapi32 alike: the error codes must be the same.
#include <windows.h>

#include <memory>
#include <string>

#include "registrar/registry_win32.h"
#include "twin_registry.h"

namespace nivra::testing {
namespace {

class RegistryCalls : public TwinRegistry {
  protected:
    // Runs `call` against both registries; the results must agree.
    template <typename Call>
    std::int32_t Same(const char* what, Call call) {
        const std::int32_t inMemory = call(static_cast<IRegistry&>(fake));
        const std::int32_t onDisk = call(static_cast<IRegistry&>(real));
        EXPECT_EQ(inMemory, onDisk) << what;
        return onDisk;
    }
    static std::int32_t CreateAndClose(IRegistry& registry, RegKey parent, const char16_t* name) {
        RegKey key = kNoKey;
        const std::int32_t error = registry.CreateKey(parent, name, kKeyReadWrite, &key);
        if (error == 0)
            registry.CloseKey(key);
        return error;
    }
    static std::int32_t OpenAndClose(IRegistry& registry, RegKey parent, const char16_t* name,
                                     std::uint32_t access = kKeyRead) {
        RegKey key = kNoKey;
        const std::int32_t error = registry.OpenKey(parent, name, access, &key);
        if (error == 0)
            registry.CloseKey(key);
        return error;
    }
};

TEST_F(RegistryCalls, NameLengthsAndMissingKeys) {
    // Wine accepts 256 units, one more than Windows; beyond that both refuse with 87.
    const std::u16string longest(255, u'n'), tooLong(300, u'n');
    EXPECT_EQ(Same("create 255",
                   [&](IRegistry& r) { return CreateAndClose(r, kClassesRoot, longest.c_str()); }),
              0);
    EXPECT_EQ(Same("create 300",
                   [&](IRegistry& r) { return CreateAndClose(r, kClassesRoot, tooLong.c_str()); }),
              87);
    Same("open 255", [&](IRegistry& r) { return OpenAndClose(r, kClassesRoot, longest.c_str()); });
    Same("open 300", [&](IRegistry& r) { return OpenAndClose(r, kClassesRoot, tooLong.c_str()); });
    Same("delete 300", [&](IRegistry& r) { return r.DeleteKey(kClassesRoot, tooLong.c_str()); });
    Same("open missing", [](IRegistry& r) { return OpenAndClose(r, kClassesRoot, u"missing"); });
    Same("open itself", [](IRegistry& r) { return OpenAndClose(r, kClassesRoot, u""); });
    Same("open itself, null", [](IRegistry& r) { return OpenAndClose(r, kClassesRoot, nullptr); });
}

TEST_F(RegistryCalls, DeletingKeysAndValues) {
    AddKey("HKCR\\parent\\child");
    AddString("HKCR\\leaf", "v", "x");
    EXPECT_EQ(Same("delete with subkey",
                   [](IRegistry& r) { return r.DeleteKey(kClassesRoot, u"parent"); }),
              5);
    Same("delete missing", [](IRegistry& r) { return r.DeleteKey(kClassesRoot, u"none"); });
    // advapi32 would delete the handle's own key; the adapter refuses.
    Same("delete empty name", [](IRegistry& r) {
        RegKey key = kNoKey;
        r.OpenKey(kClassesRoot, u"leaf", kKeyReadWrite, &key);
        const std::int32_t error = r.DeleteKey(key, u"");
        r.CloseKey(key);
        return error;
    });
    EXPECT_EQ(
        Same("delete with values", [](IRegistry& r) { return r.DeleteKey(kClassesRoot, u"LEAF"); }),
        0);
    Same("delete value missing", [](IRegistry& r) {
        RegKey key = kNoKey;
        r.OpenKey(kClassesRoot, u"parent", kKeyWrite, &key);
        const std::int32_t error = r.DeleteValue(key, u"none");
        r.CloseKey(key);
        return error;
    });
    EXPECT_EQ(fake.Dump(), real.Dump());
}

TEST_F(RegistryCalls, AccessRightsOfHandles) {
    AddKey("HKCR\\k\\child");
    Same("set value through a read handle", [](IRegistry& r) {
        RegKey key = kNoKey;
        r.OpenKey(kClassesRoot, u"k", kKeyRead, &key);
        const std::int32_t error = r.SetValue(key, u"v", kRegSz, u"", 2);
        r.CloseKey(key);
        return error;
    });
    // Wine lets a read handle create subkeys and a write handle count them; Windows and the
    // in-memory registry do not, and the interpreter never relies on either.
    EXPECT_EQ(fake.Dump(), real.Dump());
}

TEST_F(RegistryCalls, EnumerationBuffersAndEnd) {
    AddKey("HKCR\\k\\abcdef");
    auto enumerate = [](std::uint32_t index, std::uint32_t room) {
        return [index, room](IRegistry& r) {
            RegKey key = kNoKey;
            r.OpenKey(kClassesRoot, u"k", kKeyRead, &key);
            char16_t name[256];
            std::uint32_t units = room;
            std::int32_t error = r.EnumerateKey(key, index, name, &units);
            if (error == 0 && (units != 6 || name[6] != 0))
                error = -1;
            r.CloseKey(key);
            return error;
        };
    };
    EXPECT_EQ(Same("enough room", enumerate(0, 7)), 0);
    Same("no room for the terminator", enumerate(0, 6));
    EXPECT_EQ(Same("past the end", enumerate(1, 256)), 259);
}

TEST_F(RegistryCalls, AKeyDeletedWhileOpen) {
    AddKey("HKCR\\k");
    auto afterDeletion = [](auto operation) {
        return [operation](IRegistry& r) {
            RegKey key = kNoKey;
            r.OpenKey(kClassesRoot, u"k", kKeyReadWrite, &key);
            r.DeleteKey(kClassesRoot, u"k");
            const std::int32_t error = operation(r, key);
            r.CloseKey(key);
            CreateAndClose(r, kClassesRoot, u"k");
            return error;
        };
    };
    Same("set value", afterDeletion([](IRegistry& r, RegKey key) {
             return r.SetValue(key, u"v", kRegSz, u"", 2);
         }));
    Same("create subkey",
         afterDeletion([](IRegistry& r, RegKey key) { return CreateAndClose(r, key, u"sub"); }));
    Same("open itself",
         afterDeletion([](IRegistry& r, RegKey key) { return OpenAndClose(r, key, nullptr); }));
    Same("count", afterDeletion([](IRegistry& r, RegKey key) {
             std::uint32_t count = 0;
             return r.CountSubkeys(key, &count);
         }));
    EXPECT_EQ(fake.Dump(), real.Dump());
}

// advapi32 itself, unconfined: only it hands back a root's own handle for an empty name.
class RootCloseWatch final : public IRegistry {
  public:
    std::int32_t OpenKey(RegKey parent, const char16_t* subkey, std::uint32_t access,
                         RegKey* opened) noexcept override {
        return Win32Registry().OpenKey(parent, subkey, access, opened);
    }
    std::int32_t CreateKey(RegKey parent, const char16_t* name, std::uint32_t access,
                           RegKey* created) noexcept override {
        return Win32Registry().CreateKey(parent, name, access, created);
    }
    std::int32_t CloseKey(RegKey key) noexcept override {
        rootCloses += IsPredefinedKey(key);
        return Win32Registry().CloseKey(key);
    }
    std::int32_t SetValue(RegKey key, const char16_t* name, std::uint32_t type, const void* data,
                          std::uint32_t bytes) noexcept override {
        return Win32Registry().SetValue(key, name, type, data, bytes);
    }
    std::int32_t DeleteValue(RegKey key, const char16_t* name) noexcept override {
        return Win32Registry().DeleteValue(key, name);
    }
    std::int32_t DeleteKey(RegKey parent, const char16_t* name) noexcept override {
        return Win32Registry().DeleteKey(parent, name);
    }
    std::int32_t EnumerateKey(RegKey key, std::uint32_t index, char16_t* name,
                              std::uint32_t* nameUnits) noexcept override {
        return Win32Registry().EnumerateKey(key, index, name, nameUnits);
    }
    std::int32_t CountSubkeys(RegKey key, std::uint32_t* count) noexcept override {
        return Win32Registry().CountSubkeys(key, count);
    }
    int rootCloses = 0;
};

TEST(Win32Adapter, ARootOpenedAgainThroughAnEmptyNameIsTheRootAndIsNeverClosed) {
    RegKey itself = kNoKey;
    ASSERT_EQ(Win32Registry().OpenKey(kCurrentUser, u"", kKeyRead, &itself), 0);
    EXPECT_EQ(itself, kCurrentUser);
    RootCloseWatch registry;
    const std::u16string script = u"HKCU { val 'NivraShellExtTests root value' = s 1 }";
    const Variables none;
    auto interpreter = std::make_unique<CRegScriptInterpreter>(registry, none);
    ASSERT_EQ(interpreter->RunScript(script.c_str(), true), kOk);
    EXPECT_EQ(interpreter->RunScript(script.c_str(), false), kOk);
    EXPECT_EQ(interpreter->RunScript(u"HKCU { '' }", false), kOk);
    EXPECT_EQ(registry.rootCloses, 0);
    HKEY user = nullptr;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, nullptr, 0, KEY_READ, &user), ERROR_SUCCESS);
    EXPECT_EQ(::RegQueryValueExW(user, L"NivraShellExtTests root value", nullptr, nullptr, nullptr,
                                 nullptr),
              ERROR_FILE_NOT_FOUND);
}

}  // namespace
}  // namespace nivra::testing
