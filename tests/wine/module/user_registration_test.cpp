// Per-user registration through DllInstall and regsvr32 /n /i:user. Wine's COM runtime does
// not merge the user's classes into the ones it looks up, so these tests read the entries
// themselves and activate the handler the way Explorer finds it, step by step.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <string>

#include "module/registration_exports.h"
#include "module/registry_entries.h"
#include "module/shipped_dll.h"
#include "product_paths.h"
#include "support/hdrop_data_object.h"
#include "support/wine_files.h"

namespace nivra::test {
namespace {

std::wstring Regsvr32() {
    wchar_t system[MAX_PATH];
    ::GetSystemDirectoryW(system, MAX_PATH);
    return std::wstring(system) + L"\\regsvr32.exe";
}

// True when a key made through HKEY_CLASSES_ROOT lands in the machine's classes, as it does
// when nothing overrides the root.
bool ClassesRootIsTheDefault() {
    const std::wstring probe = L"NivraShellExtRootProbe";
    HKEY made = nullptr;
    if (::RegCreateKeyExW(HKEY_CLASSES_ROOT, probe.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                          &made, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    ::RegCloseKey(made);
    const bool inMachine = KeyExists(probe, kMachineClasses);
    const bool inUser = KeyExists(probe, kUserClasses);
    ::RegDeleteKeyW(HKEY_CLASSES_ROOT, probe.c_str());
    return inMachine && !inUser;
}

class UserRegistration : public ::testing::Test {
  protected:
    void TearDown() override {
        RegistrationExports dll(NIVRA_DLL_PATH);
        if (dll.loaded())
            dll.Install(FALSE, L"user");
        CallExport(NIVRA_DLL_PATH, "DllUnregisterServer");
    }
};

TEST_F(UserRegistration, Regsvr32WritesTheMachineEntriesUnderTheUsersClassesAndRemovesThem) {
    const std::wstring dll = CopyOfDll(L"user");
    // What per-machine registration writes under the classes, as the reference: only the keys
    // registration can touch are read (Wine's machine classes are large).
    const RegistrySnapshot machineBefore = EntriesSnapshot(kMachineClasses);
    ASSERT_EQ(CallExport(dll, "DllRegisterServer"), S_OK);
    const ValueSnapshot machineEntries =
        ChangedValues(machineBefore.values, EntriesSnapshot(kMachineClasses).values);
    ASSERT_EQ(CallExport(dll, "DllUnregisterServer"), S_OK);
    ASSERT_EQ(machineEntries.size(), 13u);  // the script's 12 and ContextMenuOptIn

    const RegistrySnapshot userBefore = EntriesSnapshot(kUserClasses);
    const RegistrySnapshot machine = EntriesSnapshot(kMachineClasses);
    const RegistrySnapshot approved = Snapshot(MachineRoot(), kApprovedKey);

    ASSERT_EQ(RunProgram(Regsvr32(), L"/s /n /i:user \"" + dll + L"\""), 0);
    ExpectRegistered(dll, kUserClasses);
    EXPECT_EQ(ChangedValues(userBefore.values, EntriesSnapshot(kUserClasses).values),
              machineEntries);
    RegistrySnapshot machineNow = EntriesSnapshot(kMachineClasses);
    EXPECT_EQ(machineNow.keys, machine.keys);
    EXPECT_EQ(machineNow.values, machine.values);
    // Nothing for the machine: the policy admits per-user extensions without approval.
    EXPECT_EQ(Snapshot(MachineRoot(), kApprovedKey).values, approved.values);

    ASSERT_EQ(RunProgram(Regsvr32(), L"/s /u /n /i:user \"" + dll + L"\""), 0);
    ExpectUnregistered(kUserClasses);
    EXPECT_EQ(EntriesSnapshot(kUserClasses).values, userBefore.values);
    machineNow = EntriesSnapshot(kMachineClasses);
    EXPECT_EQ(machineNow.keys, machine.keys);
    EXPECT_EQ(machineNow.values, machine.values);
}

// Explorer reads the handler's entry, then the class's InprocServer32, then loads that file
// and asks it for the class.
TEST_F(UserRegistration, TheHandlerIsFoundAndCreatedThroughTheUsersClassesAlone) {
    const std::wstring dll = CopyOfDll(L"user explorer");
    ASSERT_EQ(RunProgram(Regsvr32(), L"/s /n /i:user \"" + dll + L"\""), 0);
    EXPECT_FALSE(KeyExists(kHandlerKey, kMachineClasses));

    const auto handler = ReadValue(kHandlerKey, nullptr, kUserClasses);
    ASSERT_TRUE(handler.has_value());
    CLSID classId = {};
    ASSERT_EQ(::CLSIDFromString(handler->data.c_str(), &classId), S_OK);
    const auto server =
        ReadValue(L"CLSID\\" + handler->data + L"\\InprocServer32", nullptr, kUserClasses);
    ASSERT_TRUE(server.has_value());
    EXPECT_EQ(server->data, dll);

    ShippedDll loaded(server->data);
    ASSERT_TRUE(loaded.loaded());
    IClassFactory* factory = nullptr;
    ASSERT_EQ(loaded.GetClassObject(classId, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
              S_OK);
    IShellExtInit* init = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IShellExtInit, reinterpret_cast<void**>(&init)),
              S_OK);
    HdropDataObject selection({L"C:\\docs\\report.pdf"});
    EXPECT_EQ(init->Initialize(nullptr, &selection, nullptr), S_OK);
    init->Release();
    factory->Release();
}

// "user" in any letter case; nothing else, and a refused call writes nothing.
TEST_F(UserRegistration, OnlyTheUserCommandLineIsTakenAndTheRootIsRestoredAfterEveryCall) {
    const std::wstring path = CopyOfDll(L"user commands");
    RegistrationExports dll(path);
    ASSERT_TRUE(dll.loaded());
    const ValueSnapshot userBefore = Snapshot(kUserClasses).values;
    for (const wchar_t* refused : {static_cast<const wchar_t*>(nullptr), L"", L"machine", L"user ",
                                   L" user", L"users", L"/i:user", L"user,machine"}) {
        for (BOOL install : {TRUE, FALSE}) {
            EXPECT_EQ(dll.Install(install, refused), E_INVALIDARG)
                << (refused != nullptr ? Utf8(refused) : "null") << " install=" << install;
        }
    }
    EXPECT_EQ(Snapshot(kUserClasses).values, userBefore);
    // regsvr32 /n /i without a text passes an empty one and reports the failure.
    EXPECT_EQ(RunProgram(Regsvr32(), L"/s /n /i \"" + path + L"\""), 5);

    ASSERT_EQ(dll.Install(TRUE, L"USER"), S_OK);
    EXPECT_TRUE(ClassesRootIsTheDefault());
    ExpectRegistered(path, kUserClasses);
    EXPECT_FALSE(KeyExists(kClassKey, kMachineClasses));
    ASSERT_EQ(dll.Install(FALSE, L"User"), S_OK);
    EXPECT_TRUE(ClassesRootIsTheDefault());
    ExpectUnregistered(kUserClasses);
}

TEST_F(UserRegistration, AFailedRegistrationStillRestoresTheClassesRoot) {
    const std::wstring full = DllPathOfLength(260);
    ASSERT_EQ(full.size(), 260u);
    RegistrationExports dll(full);
    if (!dll.loaded())
        GTEST_SKIP() << "Wine cannot load a DLL from a 260-unit path";
    EXPECT_EQ(dll.Install(TRUE, L"user"), HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_TRUE(ClassesRootIsTheDefault());
    EXPECT_FALSE(KeyExists(kClassKey, kUserClasses));
    EXPECT_EQ(dll.Install(FALSE, L"user"), HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_TRUE(ClassesRootIsTheDefault());
}

}  // namespace
}  // namespace nivra::test
