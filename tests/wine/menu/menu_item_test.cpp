#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>

#include "common/heap_test_hooks.h"
#include "menu_image/system_version_win32.h"
#include "menu_test_support.h"

namespace nivra::test {
namespace {

TEST(MenuItem, ASupportedFileGetsOneItemWhereTheHostAsks) {
    SelectedHandler handler(L"C:\\docs\\REPORT.Pdf");
    ASSERT_TRUE(handler.initialized);
    PopupMenu menu;
    menu.AddPlain(1, L"first");
    menu.AddPlain(2, L"second");
    // The last identifier lies below the first: only the first one is used.
    EXPECT_EQ(handler.QueryContextMenu(menu.get(), 1, 5000, 10, CMF_NORMAL), 1);
    ASSERT_EQ(menu.Count(), 3);
    const MenuItem item = ReadItem(menu.get(), 1);
    ASSERT_TRUE(item.read);
    EXPECT_EQ(item.id, 5000u);
    EXPECT_EQ(item.text, kMenuText);
    EXPECT_EQ(item.type & (MFT_BITMAP | MFT_SEPARATOR | MFT_OWNERDRAW), 0u);
    EXPECT_EQ(ReadItem(menu.get(), 2).id, 2u);
}

TEST(MenuItem, UnsupportedOrNoFileAndDefaultOnlyAddNothing) {
    for (const wchar_t* path : {L"C:\\docs\\contract.adoc", L"C:\\my.docs\\README", L""}) {
        SelectedHandler handler(path);
        PopupMenu menu;
        EXPECT_EQ(handler.QueryContextMenu(menu.get(), 0, 1, 100, CMF_NORMAL), S_OK) << path;
        EXPECT_EQ(menu.Count(), 0) << path;
    }
    for (UINT flags : {0x1u, 0x5u, 0xFFFFFFFFu}) {
        SelectedHandler handler;
        PopupMenu menu;
        EXPECT_EQ(handler.QueryContextMenu(menu.get(), 0, 1, 100, flags), S_OK) << flags;
        EXPECT_EQ(menu.Count(), 0) << flags;
    }
}

TEST(MenuItem, OtherFlagsStillAddTheItem) {
    // Verbs only, explore, no verbs, extended verbs, and several together.
    for (UINT flags : {0x2u, 0x4u, 0x8u, 0x100u, 0x10Eu}) {
        SelectedHandler handler(L"C:\\scans\\page.tiff");
        PopupMenu menu;
        EXPECT_EQ(handler.QueryContextMenu(menu.get(), 0, 7, 7, flags), 1) << flags;
        EXPECT_EQ(ReadItem(menu.get(), 0).id, 7u) << flags;
    }
}

TEST(MenuItem, OnSixAndLaterTheBitmapIsMadeOnceAndReused) {
    ASSERT_TRUE(IsVersion6OrLater());
    SelectedHandler handler;
    PopupMenu first, second;
    ASSERT_EQ(handler.QueryContextMenu(first.get(), 0, 1, 1, CMF_NORMAL), 1);
    ASSERT_EQ(handler.QueryContextMenu(second.get(), 0, 1, 1, CMF_NORMAL), 1);
    const HBITMAP bitmap = ReadItem(first.get(), 0).bitmap;
    ASSERT_NE(bitmap, nullptr);
    ASSERT_NE(bitmap, HBMMENU_CALLBACK);
    EXPECT_EQ(ReadItem(second.get(), 0).bitmap, bitmap);
    // Another object makes its own.
    SelectedHandler other;
    PopupMenu third;
    ASSERT_EQ(other.QueryContextMenu(third.get(), 0, 1, 1, CMF_NORMAL), 1);
    EXPECT_NE(ReadItem(third.get(), 0).bitmap, bitmap);
}

TEST(MenuItem, RunningOutOfMemoryFailsWithoutTouchingTheMenu) {
    SelectedHandler handler;
    for (std::size_t successes = 0;; ++successes) {
        PopupMenu menu;
        testing::FailAllocationsAfter(successes);
        const HRESULT result = handler.QueryContextMenu(menu.get(), 0, 1, 1, CMF_NORMAL);
        const bool refused = testing::RefusedAllocations() != 0;
        testing::StopFailingAllocations();
        if (!refused) {
            EXPECT_EQ(result, 1);
            EXPECT_EQ(menu.Count(), 1);
            break;
        }
        // The filter, short of memory, answers "not supported"; the texts fail outright.
        EXPECT_TRUE(result == E_OUTOFMEMORY || result == S_OK) << successes;
        EXPECT_EQ(menu.Count(), 0) << successes;
    }
}

// A buffer of `size` characters of type T after a guard of the same size, all set to 'x'.
template <typename T>
struct Guarded {
    T data[16];
    Guarded() { std::fill(std::begin(data), std::end(data), static_cast<T>('x')); }
    bool Untouched() const {
        return std::all_of(std::begin(data), std::end(data),
                           [](T c) { return c == static_cast<T>('x'); });
    }
};

std::string Ansi(TestHandler& handler, UINT kind, UINT size, HRESULT* result) {
    char buffer[128];
    std::memset(buffer, 'x', sizeof(buffer));
    *result = handler.GetCommandString(0, kind, nullptr, buffer, size);
    return std::string(buffer, strnlen(buffer, sizeof(buffer)));
}

std::wstring Wide(TestHandler& handler, UINT kind, UINT size, HRESULT* result) {
    wchar_t buffer[128];
    std::fill(std::begin(buffer), std::end(buffer), L'x');
    *result = handler.GetCommandString(0, kind, nullptr, reinterpret_cast<char*>(buffer), size);
    return std::wstring(buffer, wcsnlen(buffer, 128));
}

TEST(CommandString, VerbAndHelpTextInBothKinds) {
    SelectedHandler handler;
    HRESULT result = E_FAIL;
    EXPECT_EQ(Ansi(handler, GCS_VERBA, 128, &result), "adoc");
    EXPECT_EQ(result, S_OK);
    EXPECT_EQ(Ansi(handler, GCS_HELPTEXTA, 128, &result),
              "Creates a new ADOC document based on the selected file.");
    EXPECT_EQ(result, S_OK);
    EXPECT_EQ(Wide(handler, GCS_VERBW, 128, &result), L"adoc");
    EXPECT_EQ(result, S_OK);
    EXPECT_EQ(Wide(handler, GCS_HELPTEXTW, 128, &result), kHelpText);
    EXPECT_EQ(result, S_OK);
}

TEST(CommandString, AShortBufferGetsATerminatedPrefixAndAnEmptyOneNothing) {
    SelectedHandler handler;
    HRESULT result = E_FAIL;
    EXPECT_EQ(Wide(handler, GCS_VERBW, 3, &result), L"ad");
    EXPECT_EQ(result, S_OK);
    EXPECT_EQ(Ansi(handler, GCS_VERBA, 3, &result), "ad");
    EXPECT_EQ(Ansi(handler, GCS_HELPTEXTA, 8, &result), "Creates");
    EXPECT_EQ(Wide(handler, GCS_HELPTEXTW, 1, &result), L"");
    EXPECT_EQ(Ansi(handler, GCS_VERBA, 1, &result), "");
    for (UINT kind : {GCS_VERBA, GCS_HELPTEXTA, GCS_VERBW, GCS_HELPTEXTW}) {
        Guarded<char> buffer;
        EXPECT_EQ(handler.GetCommandString(0, kind, nullptr, buffer.data, 0), S_OK) << kind;
        EXPECT_TRUE(buffer.Untouched()) << kind;
        EXPECT_EQ(handler.GetCommandString(0, kind, nullptr, nullptr, 0), S_OK) << kind;
    }
}

TEST(CommandString, ValidationAndUnknownKindsWriteNothing) {
    SelectedHandler handler;
    const struct {
        UINT kind;
        HRESULT result;
    } rows[] = {{GCS_VALIDATEA, S_OK}, {GCS_VALIDATEW, S_OK}, {3, E_INVALIDARG},
                {7, E_INVALIDARG},     {0x14, E_INVALIDARG},  {0x80000000u, E_INVALIDARG}};
    for (const auto& row : rows) {
        Guarded<wchar_t> buffer;
        EXPECT_EQ(handler.GetCommandString(0, row.kind, nullptr,
                                           reinterpret_cast<char*>(buffer.data), 16),
                  row.result)
            << row.kind;
        EXPECT_TRUE(buffer.Untouched()) << row.kind;
    }
}

TEST(CommandString, AnyOffsetButZeroIsRefusedForEveryKind) {
    SelectedHandler handler;
    for (UINT kind : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 7u, 0x14u}) {
        Guarded<wchar_t> buffer;
        EXPECT_EQ(
            handler.GetCommandString(1, kind, nullptr, reinterpret_cast<char*>(buffer.data), 16),
            E_INVALIDARG)
            << kind;
        EXPECT_TRUE(buffer.Untouched()) << kind;
    }
}

TEST(CommandString, RunningOutOfMemoryFailsWithoutTouchingTheBuffer) {
    SelectedHandler handler;
    for (UINT kind : {GCS_VERBA, GCS_HELPTEXTA, GCS_VERBW, GCS_HELPTEXTW}) {
        // Fail each allocation in turn until the call needs no more.
        for (std::size_t successes = 0;; ++successes) {
            Guarded<wchar_t> buffer;
            testing::FailAllocationsAfter(successes);
            const HRESULT result = handler.GetCommandString(
                0, kind, nullptr, reinterpret_cast<char*>(buffer.data), 16);
            const bool refused = testing::RefusedAllocations() != 0;
            testing::StopFailingAllocations();
            if (!refused) {
                EXPECT_EQ(result, S_OK) << kind;
                break;
            }
            EXPECT_EQ(result, E_OUTOFMEMORY) << kind << " after " << successes;
            EXPECT_TRUE(buffer.Untouched()) << kind << " after " << successes;
        }
    }
}

}  // namespace
}  // namespace nivra::test
