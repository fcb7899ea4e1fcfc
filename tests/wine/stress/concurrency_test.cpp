#include <gtest/gtest.h>

#include <objbase.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "product_paths.h"
#include "stress/right_click.h"
#include "stress/raw_hdrop.h"
#include "support/wine_files.h"

namespace nivra::test {
namespace {

constexpr wchar_t kLithuanianMenuText[] = L"\x012Etraukti \x012F &ADOC...";

struct ThreadSeen {
    std::set<IClassFactory*> factories;
    int rightClicks = 0;
    int wrongTexts = 0;
    std::wstring firstWrongText;
};

// Right-clicks on one apartment thread until `rounds` are done.
void RightClickRepeatedly(const ShippedDll& dll, std::atomic<int>& ready, int threads, int rounds,
                          ThreadSeen& seen) {
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    RawHdropDataObject selection(OneFileBlock(L"C:\\docs\\report.pdf"));
    ready++;
    while (ready < threads)
        std::this_thread::yield();
    for (int i = 0; i < rounds; ++i) {
        IClassFactory* factory = dll.Factory();
        if (factory == nullptr)
            break;
        seen.factories.insert(factory);
        void* made = nullptr;
        factory->CreateInstance(nullptr, IID_IShellExtInit, &made);
        factory->Release();
        if (made == nullptr)
            break;
        auto* init = static_cast<IShellExtInit*>(made);
        IContextMenu* menu = nullptr;
        init->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&menu));
        init->Initialize(nullptr, &selection, nullptr);
        HostMenu popup;
        if (menu != nullptr) {
            menu->QueryContextMenu(popup.get(), 0, 1, 100, CMF_NORMAL);
            menu->Release();
        }
        init->Release();
        const std::wstring text = popup.TextAt(0);
        if (text != kLithuanianMenuText && seen.wrongTexts++ == 0)
            seen.firstWrongText = text;
        ++seen.rightClicks;
    }
    ::CoUninitialize();
}

TEST(Concurrency, EightApartmentsRightClickingDuringTheFirstLanguageDecisionAllSeeLithuanian) {
    // A copy of its own, loaded once here, so the first text in this test makes the decision.
    const std::wstring folder = MakeTempFolder(L"stress-lang");
    CopyInto(NIVRA_DLL_PATH, folder, NIVRA_DLL_FILE_NAME);
    ::CreateDirectoryW((folder + L"configuration").c_str(), nullptr);
    WriteUtf8File(folder + L"configuration\\config.ini", "[SetupSettings]\r\nosgi.nl=lt\r\n");
    ShippedDll dll(folder + NIVRA_DLL_FILE_NAME);
    ASSERT_TRUE(dll.loaded());

    constexpr int kThreads = 8;
    constexpr int kRounds = 150;
    std::vector<ThreadSeen> seen(kThreads);
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back(
            [&, t] { RightClickRepeatedly(dll, ready, kThreads, kRounds, seen[t]); });
    }
    for (auto& thread : threads)
        thread.join();

    std::set<IClassFactory*> factories;
    for (int t = 0; t < kThreads; ++t) {
        SCOPED_TRACE("thread " + std::to_string(t));
        EXPECT_EQ(seen[t].rightClicks, kRounds);
        EXPECT_EQ(seen[t].wrongTexts, 0) << "first wrong text: " << Utf8(seen[t].firstWrongText);
        factories.insert(seen[t].factories.begin(), seen[t].factories.end());
    }
    EXPECT_EQ(factories.size(), 1u);
    EXPECT_EQ(dll.CanUnloadNow(), S_OK) << "a module lock was left behind";
}

}  // namespace
}  // namespace nivra::test
