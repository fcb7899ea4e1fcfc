// The texts the explorer command hands to Windows 11's menu: its title and its icon location.
#include <gtest/gtest.h>

#include <string>

#include "common/heap_test_hooks.h"
#include "handler/icon_location.h"
#include "handler/menu_title.h"

namespace nivra {
namespace {

std::u16string Str(const WideString& s) {
    return std::u16string(s.Text(), s.Length());
}

std::u16string Title(const std::u16string& text) {
    WideString title;
    EXPECT_EQ(RemoveMnemonicMarkers(text.data(), text.size(), title), kOk);
    return Str(title);
}

TEST(MenuTitle, TheMarkerGoesAndADoubledOneShowsOnce) {
    EXPECT_EQ(Title(u"Add to &ADOC..."), u"Add to ADOC...");
    EXPECT_EQ(Title(u"\u012Etraukti \u012F &ADOC..."), u"\u012Etraukti \u012F ADOC...");
    EXPECT_EQ(Title(u"Save && &Close"), u"Save & Close");
    EXPECT_EQ(Title(u"&&&a&&&&"), u"&a&&");
    EXPECT_EQ(Title(u"trailing&"), u"trailing");
    EXPECT_EQ(Title(u"&"), u"");
    EXPECT_EQ(Title(u""), u"");
    // A marker before a non-BMP letter takes only the marker away, never half the pair.
    EXPECT_EQ(Title(u"&\U00010437x"), u"\U00010437x");
}

TEST(MenuTitle, RunningOutOfMemoryLeavesTheTitleAsItWas) {
    WideString title;
    ASSERT_EQ(title.Assign(u"before"), kOk);
    testing::FailAllocationsAfter(0);
    EXPECT_EQ(RemoveMnemonicMarkers(u"A&B", 3, title), kOutOfMemory);
    testing::StopFailingAllocations();
    EXPECT_EQ(Str(title), u"before");
}

TEST(IconLocation, ThePathOfAnyLengthIsFollowedByTheNegatedResourceId) {
    const std::u16string path = u"C:\\" + std::u16string(300, u'd') + u"\\NivraShellExt.dll";
    WideString module;
    ASSERT_EQ(module.Assign(path.data(), path.size()), kOk);
    WideString location;
    ASSERT_EQ(BuildIconLocation(module, 101, location), kOk);
    EXPECT_EQ(Str(location), path + u",-101");
    ASSERT_EQ(BuildIconLocation(module, 0, location), kOk);
    EXPECT_EQ(Str(location), path + u",-0");
    ASSERT_EQ(BuildIconLocation(module, 65535, location), kOk);
    EXPECT_EQ(Str(location), path + u",-65535");
}

}  // namespace
}  // namespace nivra
