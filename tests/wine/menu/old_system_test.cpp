// Run only in the prefix that reports Windows XP.
#include <gtest/gtest.h>

#include "menu_image/menu_icon_renderer_win32.h"
#include "menu_image/system_version_win32.h"
#include "menu_test_support.h"

namespace nivra::test {
namespace {

TEST(OldSystem, ThePrefixReportsAVersionBeforeSix) {
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    ASSERT_TRUE(::GetVersionExW(&version));
    std::printf("reported version %lu.%lu\n", version.dwMajorVersion, version.dwMinorVersion);
    EXPECT_LT(version.dwMajorVersion, 6u);
    EXPECT_FALSE(IsVersion6OrLater());
}

TEST(OldSystem, TheItemAsksForOwnerDrawingAndNoBitmapIsMade) {
    SelectedHandler handler;
    PopupMenu menu;
    ASSERT_EQ(handler.QueryContextMenu(menu.get(), 0, 1, 1, CMF_NORMAL), 1);
    ASSERT_EQ(handler.QueryContextMenu(menu.get(), 1, 2, 2, CMF_NORMAL), 1);
    for (UINT position : {0u, 1u}) {
        const MenuItem item = ReadItem(menu.get(), position);
        EXPECT_EQ(item.bitmap, HBMMENU_CALLBACK) << position;
        EXPECT_EQ(item.text, kMenuText);
    }
}

TEST(OldSystem, TheRendererLoadsNoThemeLibraryAndMakesNothing) {
    const CMenuIconRenderer renderer;
    EXPECT_FALSE(renderer.HasThemeLibrary());
    const UniqueIcon icon(LoadMenuIconResource());
    ASSERT_TRUE(icon.is_valid());
    EXPECT_FALSE(renderer.RenderIcon(icon.get()).is_valid());
}

}  // namespace
}  // namespace nivra::test
