#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include "alloc/hooks_dll.h"
#include "stress/process_footprint.h"
#include "stress/raw_hdrop.h"

namespace nivra::test {
namespace {

// One right-click with every allocation after the first `successes` refused: the handler's
// out-of-memory paths run, and all of it must be given back when the DLL is unloaded.
void RightClickRunningOutOfMemory(const HooksDll& dll, std::size_t successes) {
    RawHdropDataObject selection(OneFileBlock(L"C:\\docs\\report.pdf"));
    HMENU popup = ::CreatePopupMenu();
    const Outcome outcome = dll.Run(successes, [&]() -> HRESULT {
        IClassFactory* factory = nullptr;
        HRESULT hr = dll.GetClassObject(IID_IClassFactory, reinterpret_cast<void**>(&factory));
        if (FAILED(hr))
            return hr;
        IContextMenu* menu = nullptr;
        hr = factory->CreateInstance(nullptr, IID_IContextMenu, reinterpret_cast<void**>(&menu));
        factory->Release();
        if (FAILED(hr))
            return hr;
        IShellExtInit* init = nullptr;
        menu->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&init));
        hr = init->Initialize(nullptr, &selection, nullptr);
        init->Release();
        if (SUCCEEDED(hr))
            hr = menu->QueryContextMenu(popup, 0, 1, 1, CMF_NORMAL);
        menu->Release();
        return hr;
    });
    ::DestroyMenu(popup);
    EXPECT_TRUE(SUCCEEDED(outcome.hr) || outcome.hr == E_OUTOFMEMORY)
        << std::hex << outcome.hr << " with " << successes << " allocations allowed";
}

TEST(LoadCycles, FiveThousandLoadsWithOutOfMemoryRightClicksLeaveNothingBehind) {
    KeepSystemDllsLoaded();
    // Every allocation count from 0 (the first request already fails) to a full right-click.
    constexpr std::size_t kPlans = 24;
    auto cycle = [](int i) {
        {
            HooksDll dll;
            ASSERT_TRUE(dll.loaded());
            RightClickRunningOutOfMemory(dll, static_cast<std::size_t>(i) % kPlans);
            void* unused = nullptr;
            ASSERT_EQ(dll.GetClassObject(IID_IClassFactory, &unused), S_OK);
            static_cast<IUnknown*>(unused)->Release();
        }
        ASSERT_EQ(::GetModuleHandleW(HooksDll::Path().c_str()), nullptr) << "still loaded";
    };
    for (int i = 0; i < 100; ++i)
        cycle(i);
    const ProcessFootprint before = ProcessFootprint::Now();
    for (int i = 100; i < 5000; ++i)
        cycle(i);
    const ProcessFootprint after = ProcessFootprint::Now();
    ExpectLoadCyclesLeftNothing(before, after);
}

}  // namespace
}  // namespace nivra::test
