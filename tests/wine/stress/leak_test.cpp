#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "product_paths.h"
#include "stress/process_footprint.h"
#include "stress/right_click.h"
#include "stress/raw_hdrop.h"

namespace nivra::test {
namespace {

TEST(Leaks, TenThousandFullRightClicksLeaveHandlesGdiObjectsAndMemoryWhereTheyWere) {
    ShippedDll dll(NIVRA_DLL_PATH);
    ASSERT_TRUE(dll.loaded());
    RawHdropDataObject selection(OneFileBlock(L"C:\\docs\\report.pdf"));
    DrawTarget target;
    auto cycle = [&] {
        const RightClickSeen seen = RightClick(dll, &selection, target.dc());
        ASSERT_EQ(seen.initialized, S_OK);
        ASSERT_EQ(seen.menuResult, MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1));
        ASSERT_FALSE(seen.menuText.empty());
        ASSERT_EQ(seen.drawn, 1);
        ASSERT_EQ(seen.helpResult, S_OK);
        ASSERT_FALSE(seen.helpText.empty());
    };
    for (int i = 0; i < 100; ++i)
        ASSERT_NO_FATAL_FAILURE(cycle());
    const ProcessFootprint before = ProcessFootprint::Now();
    const auto start = std::chrono::steady_clock::now();
    for (int i = 100; i < 10000; ++i)
        ASSERT_NO_FATAL_FAILURE(cycle());
    const auto took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start);
    const ProcessFootprint after = ProcessFootprint::Now();
    std::printf("9900 right-clicks took %.1f s\n", took.count());

    EXPECT_EQ(after.nextHandle, before.nextHandle);
    EXPECT_EQ(after.nextGdiObject, before.nextGdiObject);
    // One 16 by 16 bitmap (1 KB) lost per click would be 10 MB here.
    EXPECT_LT(after.committed, before.committed + 256 * 1024)
        << "committed memory grew from " << before.committed << " to " << after.committed;
    EXPECT_EQ(dll.CanUnloadNow(), S_OK);
}

}  // namespace
}  // namespace nivra::test
