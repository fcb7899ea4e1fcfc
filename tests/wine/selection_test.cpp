#include <gtest/gtest.h>

#include <string>

#include "common/heap_test_hooks.h"
#include "common/text_win32.h"
#include "support/hdrop_data_object.h"
#include "support/test_handler.h"

namespace nivra::test {
namespace {

std::wstring Selected(const CNivraShellExt& handler) {
    return AsWide(handler.SelectedFile().Text());
}

TEST(Selection, OneFileIsKeptWithItsFullPath) {
    TestHandler handler;
    HdropDataObject selection({L"C:\\docs\\report.pdf"});
    EXPECT_EQ(handler.Initialize(nullptr, &selection, nullptr), S_OK);
    EXPECT_EQ(Selected(handler), L"C:\\docs\\report.pdf");
    EXPECT_EQ(selection.mediumReleases.releases, 1);
}

TEST(Selection, APathLongerThan260CharactersIsStoredWhole) {
    std::wstring path = L"C:\\";
    while (path.size() < 1200)
        path += L"folder with blanks\\";
    path += L"\x012E\x0105 file.pdf";
    TestHandler handler;
    HdropDataObject selection({path});
    EXPECT_EQ(handler.Initialize(nullptr, &selection, nullptr), S_OK);
    EXPECT_EQ(Selected(handler), path);
}

TEST(Selection, TwoFilesOrNoneAreRefusedAndKeepThePreviousPath) {
    TestHandler handler;
    HdropDataObject first({L"C:\\a.pdf"});
    ASSERT_EQ(handler.Initialize(nullptr, &first, nullptr), S_OK);
    HdropDataObject two({L"C:\\b.pdf", L"C:\\c.pdf"});
    EXPECT_EQ(handler.Initialize(nullptr, &two, nullptr), E_INVALIDARG);
    EXPECT_EQ(two.mediumReleases.releases, 1);
    HdropDataObject none({});
    // Wine's DragQueryFileW counts an empty list as one file of length 0, so the refusal comes
    // from the length check there (E_UNEXPECTED) rather than from the count.
    const HRESULT empty = handler.Initialize(nullptr, &none, nullptr);
    EXPECT_TRUE(empty == E_INVALIDARG || empty == E_UNEXPECTED) << std::hex << empty;
    EXPECT_EQ(Selected(handler), L"C:\\a.pdf");
}

TEST(Selection, ADataObjectWithoutAFileListIsRefusedWithNothingToRelease) {
    TestHandler handler;
    HdropDataObject selection({L"C:\\a.pdf"});
    selection.offerHdrop = false;
    EXPECT_EQ(handler.Initialize(nullptr, &selection, nullptr), E_INVALIDARG);
    EXPECT_EQ(selection.mediumReleases.releases, 0);
    EXPECT_EQ(handler.Initialize(nullptr, nullptr, nullptr), E_UNEXPECTED);
    EXPECT_EQ(Selected(handler), L"");
}

TEST(Selection, AMediumThatCannotBeLockedIsRefusedAndReleased) {
    TestHandler handler;
    HdropDataObject selection({L"C:\\a.pdf"});
    selection.nullMemory = true;
    EXPECT_EQ(handler.Initialize(nullptr, &selection, nullptr), E_INVALIDARG);
    EXPECT_EQ(selection.mediumReleases.releases, 1);
}

// Locking a stream's pointer as memory faulted inside the host.
TEST(Selection, AMediumOfAnotherTypeIsRefusedReleasedOnceAndKeepsThePreviousPath) {
    TestHandler handler;
    HdropDataObject first({L"C:\\a.pdf"});
    ASSERT_EQ(handler.Initialize(nullptr, &first, nullptr), S_OK);
    HdropDataObject stream({L"C:\\b.pdf"});
    stream.asStream = true;
    EXPECT_EQ(handler.Initialize(nullptr, &stream, nullptr), E_INVALIDARG);
    EXPECT_EQ(stream.mediumReleases.releases, 1);
    EXPECT_EQ(Selected(handler), L"C:\\a.pdf");
}

TEST(Selection, RunningOutOfMemoryIsReportedAndKeepsThePreviousPath) {
    TestHandler handler;
    HdropDataObject first({L"C:\\a.pdf"});
    ASSERT_EQ(handler.Initialize(nullptr, &first, nullptr), S_OK);
    HdropDataObject longer({std::wstring(2000, L'x') + L".pdf"});
    testing::FailAllocationsAfter(0);
    EXPECT_EQ(handler.Initialize(nullptr, &longer, nullptr), E_OUTOFMEMORY);
    testing::StopFailingAllocations();
    EXPECT_EQ(longer.mediumReleases.releases, 1);
    EXPECT_EQ(Selected(handler), L"C:\\a.pdf");
}

}  // namespace
}  // namespace nivra::test
