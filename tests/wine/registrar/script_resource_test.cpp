// Script resources of a real module file, through kernel32, run against the confined registry.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/text_win32.h"
#include "confined_registry.h"
#include "memory_registry.h"
#include "registrar/module_resources_win32.h"
#include "registrar/quote_doubling.h"
#include "registrar/reg_object.h"

namespace nivra::testing {
namespace {

using Lines = std::vector<std::string>;

// The resource module lies beside the test program.
std::u16string FileBesideTests(const wchar_t* name) {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    folder.resize(folder.rfind(L'\\') + 1);
    folder += name;
    return AsUtf16(folder.c_str());
}

class ScriptResources : public ::testing::Test {
  protected:
    ScriptResources() : module(FileBesideTests(L"registrar_script_module.dll")) {
        char16_t quoted[520];
        DoubleSingleQuotes(quoted, 520, module.c_str());
        registrar.AddVariable(u"CLSID", u"{37653C37-DEDE-49F1-A788-4E46787130D9}");
        registrar.AddVariable(u"Name", u"O''Brien");
        registrar.AddVariable(u"Module", quoted);
    }
    void TearDown() override { EXPECT_EQ(registry.OpenHandles(), 0u) << "handles left open"; }

    std::u16string module;
    ConfinedRegistry registry;
    CRegObject registrar{registry, Win32ModuleResources()};
};

TEST_F(ScriptResources, ANumberedScriptRegistersAndUnregisters) {
    ASSERT_EQ(registrar.RegisterScriptResource(module.c_str(), 100), kOk);
    const std::string key = "HKCU\\Software\\{37653C37-DEDE-49F1-A788-4E46787130D9}";
    EXPECT_EQ(registry.Dump(), (Lines{"HKCU\\Software", key, key + "\\InprocServer32",
                                      key + "\\InprocServer32|=S:" + Narrow(module.c_str()),
                                      key + "\\InprocServer32|ThreadingModel=S:Apartment",
                                      key + "|=S:Test O'Brien", key + "|Flags=4:07000000"}));
    ASSERT_EQ(registrar.UnregisterScriptResource(module.c_str(), 100), kOk);
    EXPECT_EQ(registry.Dump(), Lines{"HKCU\\Software"});
}

TEST_F(ScriptResources, ANamedScriptIsReadInTheThreadsAnsiCodePage) {
    ASSERT_EQ(registrar.RegisterNamedScriptResource(module.c_str(), u"LATIN"), kOk);
    wchar_t expected[4] = {};
    ASSERT_EQ(MultiByteToWideChar(CP_THREAD_ACP, 0, "k\xe0", 2, expected, 3), 2);
    RegKey key = kNoKey;
    ASSERT_EQ(registry.OpenKey(kCurrentUser, AsUtf16(expected), kKeyRead, &key), 0);
    registry.CloseKey(key);
    ASSERT_EQ(registrar.UnregisterNamedScriptResource(module.c_str(), u"latin"), kOk);
    EXPECT_TRUE(registry.Dump().empty());
}

TEST_F(ScriptResources, FailuresReportThePlatformsErrorBeforeAnyRegistryAccess) {
    EXPECT_EQ(registrar.RegisterScriptResource(module.c_str(), 101),
              HResultFromWin32(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(registrar.UnregisterNamedScriptResource(module.c_str(), u"NONE"),
              HResultFromWin32(ERROR_RESOURCE_NAME_NOT_FOUND));
    // An empty script fails at the conversion.
    EXPECT_EQ(registrar.RegisterNamedScriptResource(module.c_str(), u"EMPTY"),
              HResultFromWin32(ERROR_INVALID_PARAMETER));
    const std::u16string missing = FileBesideTests(L"no_such_module.dll");
    EXPECT_EQ(registrar.RegisterScriptResource(missing.c_str(), 100),
              HResultFromWin32(ERROR_FILE_NOT_FOUND));
    // A file that is no module at all.
    const std::u16string text = FileBesideTests(L"registrar_not_a_module.txt");
    HANDLE file = CreateFileW(AsWide(text.c_str()), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, "HKCU { x }", 10, &written, nullptr);
    CloseHandle(file);
    EXPECT_EQ(registrar.RegisterScriptResource(text.c_str(), 100),
              HResultFromWin32(ERROR_BAD_EXE_FORMAT));
    DeleteFileW(AsWide(text.c_str()));
    EXPECT_EQ(registry.Calls(), 0u);
    EXPECT_TRUE(registry.Dump().empty());
}

TEST_F(ScriptResources, EveryRunGivesTheModuleBack) {
    // A module still loaded as data keeps its file open for writing by nobody else.
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(registrar.RegisterScriptResource(module.c_str(), 100), kOk);
        ASSERT_EQ(registrar.UnregisterScriptResource(module.c_str(), 101),
                  HResultFromWin32(ERROR_RESOURCE_NAME_NOT_FOUND));
    }
    HANDLE file = CreateFileW(AsWide(module.c_str()), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE) << "module still mapped";
    CloseHandle(file);
    ASSERT_EQ(registrar.UnregisterScriptResource(module.c_str(), 100), kOk);
}

}  // namespace
}  // namespace nivra::testing
