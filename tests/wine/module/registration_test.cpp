#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <optional>
#include <string>
#include <vector>

#include "module/class_ids.h"
#include "module/registry_entries.h"
#include "module/shipped_dll.h"
#include "product_paths.h"
#include "support/hdrop_data_object.h"
#include "support/wine_files.h"

namespace nivra::test {
namespace {

class Registration : public ::testing::Test {
  protected:
    void TearDown() override { CallExport(NIVRA_DLL_PATH, "DllUnregisterServer"); }
};

TEST_F(Registration, RegisteringWritesEveryEntryWithTheDllsOwnPath) {
    const std::wstring dll = CopyOfDll(L"reg");
    ASSERT_EQ(CallExport(dll, "DllRegisterServer"), S_OK);
    ExpectRegistered(dll);
    EXPECT_EQ(ReadValue(kApprovedKey, kClsid.c_str(), MachineRoot()), Sz(L"NivraShellExt"));
    // The explorer command's class is declared by the package, never by regsvr32.
    EXPECT_FALSE(KeyExists(L"CLSID\\" + Wide(kExplorerCommandClassId)));
}

// Exactly the script's entries, the opt-in and the Approved value come, and all of them go.
TEST_F(Registration, UnregisteringLeavesTheMachineExactlyAsItWasBefore) {
    const std::wstring dll = CopyOfDll(L"exact");
    const RegistrySnapshot before = MachineSnapshot(0);
    ASSERT_EQ(CallExport(dll, "DllRegisterServer"), S_OK);
    const ValueSnapshot added = ChangedValues(before.values, MachineSnapshot(0).values);
    // 12 of the handler's script, ContextMenuOptIn, the Approved value.
    EXPECT_EQ(added.size(), 14u);
    ASSERT_EQ(CallExport(dll, "DllUnregisterServer"), S_OK);
    const RegistrySnapshot after = MachineSnapshot(0);
    EXPECT_EQ(after.keys, before.keys);
    EXPECT_EQ(after.values, before.values);
    EXPECT_TRUE(KeyExists(kApprovedKey, MachineRoot())) << "the Approved key is never removed";
}

TEST_F(Registration, APathWithASingleQuoteIsRegisteredWithOneQuote) {
    const std::wstring dll = CopyOfDll(L"O'Brien");
    ASSERT_EQ(CallExport(dll, "DllRegisterServer"), S_OK);
    EXPECT_EQ(ReadValue(kClassKey + L"\\InprocServer32"), Sz(dll));
}

TEST_F(Registration, RegisteringTwiceEqualsOnceAndDropsStaleSubkeys) {
    const std::wstring dll = CopyOfDll(L"twice");
    ASSERT_EQ(CallExport(dll, "DllRegisterServer"), S_OK);
    HKEY stale = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CLASSES_ROOT, (kClassKey + L"\\Stale").c_str(), 0, nullptr, 0,
                                KEY_WRITE, nullptr, &stale, nullptr),
              ERROR_SUCCESS);
    ::RegCloseKey(stale);
    ASSERT_EQ(CallExport(dll, "DllRegisterServer"), S_OK);
    ExpectRegistered(dll);
    EXPECT_FALSE(KeyExists(kClassKey + L"\\Stale"));
}

TEST_F(Registration, UnregisteringRemovesTheEntriesAndKeepsTheSharedParents) {
    const std::wstring dll = CopyOfDll(L"unreg");
    ASSERT_EQ(CallExport(dll, "DllRegisterServer"), S_OK);
    ASSERT_EQ(CallExport(dll, "DllUnregisterServer"), S_OK);
    ExpectUnregistered();
    // Unregistering what is already gone is not an error.
    EXPECT_EQ(CallExport(dll, "DllUnregisterServer"), S_OK);
}

TEST_F(Registration, AKeyAnotherProductExtendedKeepsItsPlace) {
    const std::wstring dll = CopyOfDll(L"foreign");
    ASSERT_EQ(CallExport(dll, "DllRegisterServer"), S_OK);
    HKEY foreign = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CLASSES_ROOT, L"NivraShellExtLib.NivraShellExt\\Other", 0,
                                nullptr, 0, KEY_WRITE, nullptr, &foreign, nullptr),
              ERROR_SUCCESS);
    ::RegCloseKey(foreign);
    ASSERT_EQ(CallExport(dll, "DllUnregisterServer"), S_OK);
    EXPECT_TRUE(KeyExists(L"NivraShellExtLib.NivraShellExt\\Other"));
    EXPECT_FALSE(KeyExists(L"NivraShellExtLib.NivraShellExt\\CLSID"));
    ::RegDeleteKeyW(HKEY_CLASSES_ROOT, L"NivraShellExtLib.NivraShellExt\\Other");
    ::RegDeleteKeyW(HKEY_CLASSES_ROOT, L"NivraShellExtLib.NivraShellExt");
}

TEST_F(Registration, APathThatFillsTheBufferFailsBeforeAnyChangeAndOneUnitLessRegisters) {
    const std::wstring full = DllPathOfLength(260);
    ASSERT_EQ(full.size(), 260u);
    HMODULE probe = ::LoadLibraryW(full.c_str());
    if (probe == nullptr)
        GTEST_SKIP() << "Wine cannot load a DLL from a 260-unit path";
    ::FreeLibrary(probe);
    EXPECT_EQ(CallExport(full, "DllRegisterServer"), HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_FALSE(KeyExists(kClassKey));
    EXPECT_FALSE(KeyExists(L"NivraShellExtLib.NivraShellExt"));

    const std::wstring fits = DllPathOfLength(259);
    ASSERT_EQ(fits.size(), 259u);
    EXPECT_EQ(CallExport(fits, "DllRegisterServer"), S_OK);
    EXPECT_EQ(ReadValue(kClassKey + L"\\InprocServer32"), Sz(fits));
}

TEST_F(Registration, WinesRegsvr32RegistersAndUnregistersTheSame) {
    const std::wstring dll = CopyOfDll(L"regsvr32");
    wchar_t system[MAX_PATH];
    ::GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring regsvr32 = std::wstring(system) + L"\\regsvr32.exe";
    ASSERT_EQ(RunProgram(regsvr32, L"/s \"" + dll + L"\""), 0);
    ExpectRegistered(dll);
    ASSERT_EQ(RunProgram(regsvr32, L"/s /u \"" + dll + L"\""), 0);
    ExpectUnregistered();
}

// The other architecture's product DLL, or empty when that build is missing.
std::wstring OtherArchitectureDll() {
    const std::wstring list = NIVRA_PRODUCT_DLLS;
    for (std::size_t start = 0, end; start < list.size(); start = end + 1) {
        end = list.find(L';', start);
        if (end == std::wstring::npos)
            end = list.size();
        const std::wstring dll = list.substr(start, end - start);
        if (!dll.empty() && dll != NIVRA_DLL_PATH)
            return dll;
    }
    return L"";
}

bool ClassInView(REGSAM view) {
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, (kClassKey + L"\\InprocServer32").c_str(), 0,
                        KEY_READ | view, &opened) != ERROR_SUCCESS) {
        return false;
    }
    ::RegCloseKey(opened);
    return true;
}

// 64-bit Windows keeps HKCR\CLSID per registry view but one handler entry for both views.
TEST_F(Registration, WithBothArchitecturesTheHandlerEntryStaysUntilBothAreUnregistered) {
    wchar_t wow64[MAX_PATH];
    if (::GetSystemWow64DirectoryW(wow64, MAX_PATH) == 0)
        GTEST_SKIP() << "one registry view only";
    if (::GetEnvironmentVariableW(L"NIVRA_NO_32BIT_WINE", nullptr, 0) != 0)
        GTEST_SKIP() << "this machine's kernel runs no 32-bit code: no x86 regsvr32";
    const std::wstring other = OtherArchitectureDll();
    if (other.empty())
        GTEST_SKIP() << "the other architecture's DLL is not built";
    const std::wstring regsvr32 = std::wstring(wow64) + L"\\regsvr32.exe";
    const std::wstring quoted = L"\"" + other + L"\"";
    struct OtherUnregistered {
        const std::wstring& regsvr32;
        const std::wstring& quoted;
        ~OtherUnregistered() { RunProgram(regsvr32, L"/s /u " + quoted); }
    };
    const RegistrySnapshot before64 = MachineSnapshot(KEY_WOW64_64KEY);
    const RegistrySnapshot before32 = MachineSnapshot(KEY_WOW64_32KEY);
    auto approvedIn = [](REGSAM view) {
        return ReadValue(kApprovedKey, kClsid.c_str(), MachineRoot(view)).has_value();
    };
    for (const bool oursFirst : {true, false}) {
        SCOPED_TRACE(oursFirst ? "ours unregistered first" : "the other unregistered first");
        const OtherUnregistered cleanup{regsvr32, quoted};
        ASSERT_EQ(CallExport(NIVRA_DLL_PATH, "DllRegisterServer"), S_OK);
        ASSERT_EQ(RunProgram(regsvr32, L"/s " + quoted), 0);
        ASSERT_TRUE(ClassInView(KEY_WOW64_32KEY) && ClassInView(KEY_WOW64_64KEY));
        // Each view has its own class, opt-in and Approved list (redirected, not shared); the
        // program identifiers and the handler entry are read through the default view.
        ExpectRegistered(NIVRA_DLL_PATH, kClasses64);
        ExpectClassRegistered(other, kClasses32);
        EXPECT_TRUE(approvedIn(KEY_WOW64_64KEY) && approvedIn(KEY_WOW64_32KEY));
        const auto unregisterOurs = [] {
            EXPECT_EQ(CallExport(NIVRA_DLL_PATH, "DllUnregisterServer"), S_OK);
        };
        const auto unregisterOther = [&] {
            EXPECT_EQ(RunProgram(regsvr32, L"/s /u " + quoted), 0);
        };
        oursFirst ? unregisterOurs() : unregisterOther();
        EXPECT_NE(ClassInView(KEY_WOW64_32KEY), ClassInView(KEY_WOW64_64KEY));
        EXPECT_EQ(ReadValue(kHandlerKey), Sz(kClsid));
        EXPECT_EQ(approvedIn(KEY_WOW64_64KEY), ClassInView(KEY_WOW64_64KEY));
        EXPECT_EQ(approvedIn(KEY_WOW64_32KEY), ClassInView(KEY_WOW64_32KEY));
        oursFirst ? unregisterOther() : unregisterOurs();
        EXPECT_FALSE(ClassInView(KEY_WOW64_32KEY) || ClassInView(KEY_WOW64_64KEY));
        ExpectUnregistered();
        for (const auto& [view, before] :
             {std::pair{KEY_WOW64_64KEY, &before64}, std::pair{KEY_WOW64_32KEY, &before32}}) {
            const RegistrySnapshot after = MachineSnapshot(view);
            EXPECT_EQ(after.keys, before->keys) << "view " << view;
            EXPECT_EQ(after.values, before->values) << "view " << view;
        }
    }
}

TEST_F(Registration, TheComRuntimeFindsTheHandlerAndUnloadsItWhenReleased) {
    const std::wstring folder = MakeTempFolder(L"com");
    CopyInto(NIVRA_DLL_PATH, folder, NIVRA_DLL_FILE_NAME);
    CopyInto(ProgramFolder() + L"Nivra.exe", folder, L"Nivra.exe");
    const std::wstring dll = folder + NIVRA_DLL_FILE_NAME;
    ASSERT_EQ(CallExport(dll, "DllRegisterServer"), S_OK);

    ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    {
        IShellExtInit* init = nullptr;
        ASSERT_EQ(::CoCreateInstance(kHandlerClass, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IShellExtInit, reinterpret_cast<void**>(&init)),
                  S_OK);
        EXPECT_NE(::GetModuleHandleW(dll.c_str()), nullptr);
        HdropDataObject selection({L"C:\\docs\\report.pdf"});
        EXPECT_EQ(init->Initialize(nullptr, &selection, nullptr), S_OK);
        IContextMenu* menu = nullptr;
        ASSERT_EQ(init->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&menu)), S_OK);
        CMINVOKECOMMANDINFO info = {};
        info.cbSize = sizeof(info);
        info.lpVerb = "adoc";
        EXPECT_EQ(menu->InvokeCommand(&info), S_OK);
        menu->Release();
        init->Release();
    }
    const auto received = WaitForFile(folder + L"Nivra.received.txt", std::chrono::seconds(20));
    ASSERT_TRUE(received.has_value());
    EXPECT_EQ(received->substr(0, received->find('\n')), "nivra -create \"C:\\docs\\report.pdf\"");
    // The runtime unloads idle libraries only after a grace period; ask until it does.
    bool unloaded = false;
    for (int attempt = 0; attempt < 100 && !unloaded; ++attempt) {
        ::CoFreeUnusedLibrariesEx(0, 0);
        unloaded = ::GetModuleHandleW(dll.c_str()) == nullptr;
        if (!unloaded)
            ::Sleep(100);
    }
    EXPECT_TRUE(unloaded);
    ::CoUninitialize();
}

}  // namespace
}  // namespace nivra::test
