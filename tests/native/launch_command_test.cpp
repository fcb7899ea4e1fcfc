#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "common/heap_test_hooks.h"
#include "handler/launch_command.h"
#include "handler/module_directory.h"

namespace nivra {
namespace {

std::u16string Str(const WideString& s) {
    return std::u16string(s.Text(), s.Length());
}

TEST(LaunchCommand, TheApplicationLiesInTheModulesFolder) {
    WideString directory;
    ASSERT_EQ(directory.Assign(u"C:\\Program Files\\App\\"), kOk);
    WideString path;
    ASSERT_EQ(BuildApplicationPath(directory, path), kOk);
    EXPECT_EQ(Str(path), u"C:\\Program Files\\App\\Nivra.exe");
}

TEST(LaunchCommand, ThePathGoesVerbatimBetweenQuotesAfterTheSwitch) {
    WideString line;
    const std::u16string file = u"C:\\Docs\\My Report.pdf";
    ASSERT_EQ(BuildCommandLine(file.data(), file.size(), line), kOk);
    EXPECT_EQ(Str(line), u"nivra -create \"C:\\Docs\\My Report.pdf\"");
    ASSERT_EQ(BuildCommandLine(u"", 0, line), kOk);
    EXPECT_EQ(Str(line), u"nivra -create \"\"");
    const std::u16string odd = u"C:\\%s\\a\"b;&^'\u012E.pdf";
    ASSERT_EQ(BuildCommandLine(odd.data(), odd.size(), line), kOk);
    EXPECT_EQ(Str(line), u"nivra -create \"" + odd + u"\"");
}

TEST(LaunchCommand, ALineLongerThanTheSystemStartsIsRefusedAndTheOldLineKept) {
    WideString line;
    ASSERT_EQ(BuildCommandLine(u"C:\\a.pdf", 8, line), kOk);
    // 15 units before the path, the closing quote and the null: 32,767 in all at most.
    const std::u16string longest(kMaxCommandLineUnits - 17, u'x');
    ASSERT_EQ(BuildCommandLine(longest.data(), longest.size(), line), kOk);
    EXPECT_EQ(line.Length() + 1, kMaxCommandLineUnits);
    const std::u16string over = longest + u'x';
    EXPECT_EQ(BuildCommandLine(over.data(), over.size(), line), kFilenameTooLong);
    EXPECT_EQ(line.Length() + 1, kMaxCommandLineUnits);
}

TEST(LaunchCommand, RunningOutOfMemoryIsReported) {
    WideString line;
    testing::FailAllocationsAfter(0);
    EXPECT_EQ(BuildCommandLine(u"C:\\a.pdf", 8, line), kOutOfMemory);
    testing::StopFailingAllocations();
}

// Stands in for GetModuleFileNameW over a name of a given length.
struct FakeModuleName {
    explicit FakeModuleName(std::u16string n, bool f = false) : name(std::move(n)), fails(f) {}
    std::u16string name;
    bool fails;
    std::vector<std::uint32_t> capacities;

    static std::uint32_t Get(void* context, char16_t* buffer, std::uint32_t capacity) {
        auto* self = static_cast<FakeModuleName*>(context);
        self->capacities.push_back(capacity);
        if (self->fails)
            return 0;
        if (self->name.size() + 1 <= capacity) {
            std::copy(self->name.begin(), self->name.end(), buffer);
            buffer[self->name.size()] = u'\0';
            return static_cast<std::uint32_t>(self->name.size());
        }
        std::copy(self->name.begin(), self->name.begin() + capacity - 1, buffer);
        buffer[capacity - 1] = u'\0';
        return capacity;
    }
};

std::u16string PathOfLength(std::size_t length) {
    std::u16string path = u"C:\\";
    while (path.size() + 8 + 10 <= length)
        path += u"abcdefg\\";
    path += std::u16string(length - path.size() - 4, u'x');
    return path + u".dll";
}

TEST(ModuleDirectory, KeepsEverythingUpToTheLastBackslash) {
    FakeModuleName module{u"C:\\Apps\\Tool\\ext.dll"};
    WideString directory;
    ASSERT_EQ(GetModuleDirectoryFrom(FakeModuleName::Get, &module, directory), kOk);
    EXPECT_EQ(Str(directory), u"C:\\Apps\\Tool\\");
    EXPECT_EQ(module.capacities, std::vector<std::uint32_t>{261});
}

TEST(ModuleDirectory, ANameOf260UnitsFitsTheFirstCapacityAndLongerOnesGrowBy260) {
    for (std::size_t length : {259u, 260u}) {
        FakeModuleName module{PathOfLength(length)};
        WideString directory;
        ASSERT_EQ(GetModuleDirectoryFrom(FakeModuleName::Get, &module, directory), kOk);
        EXPECT_EQ(module.capacities, std::vector<std::uint32_t>{261}) << length;
        EXPECT_EQ(Str(directory), module.name.substr(0, module.name.rfind(u'\\') + 1));
    }
    FakeModuleName longer{PathOfLength(261)};
    WideString directory;
    ASSERT_EQ(GetModuleDirectoryFrom(FakeModuleName::Get, &longer, directory), kOk);
    EXPECT_EQ(longer.capacities, (std::vector<std::uint32_t>{261, 521}));
    EXPECT_EQ(Str(directory), longer.name.substr(0, longer.name.rfind(u'\\') + 1));

    FakeModuleName veryLong{PathOfLength(1000)};
    ASSERT_EQ(GetModuleDirectoryFrom(FakeModuleName::Get, &veryLong, directory), kOk);
    EXPECT_EQ(veryLong.capacities, (std::vector<std::uint32_t>{261, 521, 781, 1041}));
    WideString path;
    ASSERT_EQ(GetModulePathFrom(FakeModuleName::Get, &veryLong, path), kOk);
    EXPECT_EQ(Str(path), veryLong.name);
}

TEST(ModuleDirectory, ANameWithoutBackslashStaysWholeAndAFailureGivesEmpty) {
    FakeModuleName bare{u"ext.dll"};
    WideString directory;
    ASSERT_EQ(GetModuleDirectoryFrom(FakeModuleName::Get, &bare, directory), kOk);
    EXPECT_EQ(Str(directory), u"ext.dll");
    FakeModuleName failing{u"C:\\x.dll", true};
    ASSERT_EQ(GetModuleDirectoryFrom(FakeModuleName::Get, &failing, directory), kOk);
    EXPECT_EQ(Str(directory), u"");
}

TEST(ModuleDirectory, RunningOutOfMemoryLeavesTheResultUntouched) {
    FakeModuleName module{PathOfLength(600)};
    WideString directory;
    ASSERT_EQ(directory.Assign(u"before"), kOk);
    testing::FailAllocationsAfter(1);  // the first buffer, not the second
    EXPECT_EQ(GetModuleDirectoryFrom(FakeModuleName::Get, &module, directory), kOutOfMemory);
    testing::StopFailingAllocations();
    EXPECT_EQ(Str(directory), u"before");
}

}  // namespace
}  // namespace nivra
