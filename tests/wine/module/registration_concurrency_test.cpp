// DllInstall redirects HKEY_CLASSES_ROOT for the whole process while it runs: registration
// from several threads at once must still leave what the same calls made one after another
// leave.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "module/registration_exports.h"
#include "module/registry_entries.h"
#include "support/wine_files.h"

namespace nivra::test {
namespace {

TEST(ConcurrentRegistration, ThreadsMixingTheThreeCallsLeaveWhatTheCallsInSequenceLeave) {
    const std::wstring path = CopyOfDll(L"concurrent");
    const RegistrationExports dll(path);
    ASSERT_TRUE(dll.loaded());

    // In sequence: registered for the machine, registered and removed again for the user.
    ASSERT_EQ(dll.Register(), S_OK);
    ASSERT_EQ(dll.Install(TRUE, L"user"), S_OK);
    ASSERT_EQ(dll.Install(FALSE, L"user"), S_OK);
    const RegistrySnapshot machine = EntriesSnapshot(kMachineClasses);
    const RegistrySnapshot user = EntriesSnapshot(kUserClasses);
    ASSERT_FALSE(machine.values.empty());

    // Each thread ends on the state above: per-user rounds end removed, the machine's end
    // registered.
    constexpr int kRounds = 20;
    std::atomic<int> failures{0};
    auto count = [&](HRESULT hr) {
        if (hr != S_OK)
            ++failures;
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < kRounds; ++i) {
                count(dll.Install(TRUE, L"user"));
                count(dll.Install(FALSE, L"user"));
            }
        });
    }
    threads.emplace_back([&] {
        for (int i = 0; i < kRounds; ++i) {
            count(dll.Unregister());
            count(dll.Register());
        }
    });
    for (std::thread& thread : threads)
        thread.join();

    EXPECT_EQ(failures.load(), 0);
    const RegistrySnapshot machineAfter = EntriesSnapshot(kMachineClasses);
    const RegistrySnapshot userAfter = EntriesSnapshot(kUserClasses);
    EXPECT_EQ(machineAfter.keys, machine.keys);
    EXPECT_EQ(machineAfter.values, machine.values);
    EXPECT_EQ(userAfter.keys, user.keys);
    EXPECT_EQ(userAfter.values, user.values);
    ASSERT_EQ(dll.Unregister(), S_OK);
}

}  // namespace
}  // namespace nivra::test
