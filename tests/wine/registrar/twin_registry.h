// The in-memory registry and the confined real one side by side: every seed goes into both,
// every script runs in both, and the results and trees must agree.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "confined_registry.h"
#include "memory_registry.h"
#include "test_support.h"

namespace nivra::testing {

class TwinRegistry : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_FALSE(real.Dump().size()) << "a fresh test key is empty"; }
    void TearDown() override {
        EXPECT_EQ(fake.OpenHandles(), 0u) << "in-memory handles left open";
        EXPECT_EQ(real.OpenHandles(), 0u) << "real handles left open";
    }

    // "HKCR\\a\\b": the root's name, then the path below it.
    static RegKey RootOf(const std::string& path, std::string* rest) {
        static const char* const kNames[] = {"HKCR", "HKCU", "HKLM", "HKU", "HKPD", "HKCC", "HKDD"};
        const std::size_t slash = path.find('\\');
        *rest = slash == std::string::npos ? std::string() : path.substr(slash + 1);
        for (std::uint32_t i = 0; i < 7; ++i) {
            if (path.substr(0, slash) == kNames[i])
                return PredefinedKey(0x80000000u + i);
        }
        return kNoKey;
    }
    void AddKey(const std::string& path) {
        fake.AddKey(path);
        std::string rest;
        const RegKey root = RootOf(path, &rest);
        RegKey key = kNoKey;
        ASSERT_EQ(real.CreateKey(root, Widen(rest).c_str(), kKeyReadWrite, &key), 0) << path;
        real.CloseKey(key);
    }
    void AddString(const std::string& path, const std::string& name, const std::string& text) {
        fake.AddString(path, name, text);
        std::string rest;
        const RegKey root = RootOf(path, &rest);
        RegKey key = kNoKey;
        ASSERT_EQ(real.CreateKey(root, Widen(rest).c_str(), kKeyReadWrite, &key), 0) << path;
        const std::u16string wide = Widen(text);
        real.SetValue(key, Widen(name).c_str(), kRegSz, wide.c_str(),
                      std::uint32_t((wide.size() + 1) * 2));
        real.CloseKey(key);
    }
    // Runs the script in both registries: both must give `expected` and the same tree.
    void Both(const std::u16string& script, bool registerPass, HResult expected,
              const IVariableLookup& variables = Variables()) {
        SCOPED_TRACE((registerPass ? "register " : "unregister ") + Narrow(script.c_str()));
        EXPECT_EQ(RunScript(fake, script, registerPass, variables), expected) << "in memory";
        auto interpreter = std::make_unique<CRegScriptInterpreter>(real, variables);
        EXPECT_EQ(interpreter->RunScript(script.c_str(), registerPass), expected) << "real";
        EXPECT_EQ(fake.Dump(), real.Dump());
    }

    MemoryRegistry fake;
    ConfinedRegistry real;
};

}  // namespace nivra::testing
