#include <gtest/gtest.h>

#include <shlobj.h>
#include <shellapi.h>

#include <chrono>
#include <cstddef>
#include <string>

#include "product_paths.h"
#include "stress/raw_hdrop.h"
#include "stress/right_click.h"
#include "support/hdrop_data_object.h"
#include "support/wine_files.h"

namespace nivra::test {
namespace {

constexpr HRESULT kOneItem = MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1);

bool IsSoundSelectionAnswer(HRESULT hr) {
    return hr == S_OK || hr == E_INVALIDARG || hr == E_UNEXPECTED || hr == E_OUTOFMEMORY;
}

class HostileSelection : public ::testing::Test {
  protected:
    HostileSelection() : dll_(NIVRA_DLL_PATH) {}
    void SetUp() override { ASSERT_TRUE(dll_.loaded()); }
    void TearDown() override { EXPECT_EQ(dll_.CanUnloadNow(), S_OK); }

    // Hands the block over, then builds a menu on whatever was kept; returns Initialize's answer.
    HRESULT Offer(const std::vector<unsigned char>& block, HRESULT* menuResult = nullptr) {
        RawHdropDataObject selection(block);
        const RightClickSeen seen = RightClick(dll_, &selection, target_.dc());
        if (menuResult != nullptr)
            *menuResult = seen.menuResult;
        EXPECT_TRUE(seen.menuResult == S_OK || seen.menuResult == kOneItem) << seen.menuResult;
        return seen.initialized;
    }
    ShippedDll dll_;
    DrawTarget target_;
};

TEST_F(HostileSelection, BlocksWithoutAFileOrWithTooManyAreRefused) {
    // An empty block cannot be locked.
    EXPECT_EQ(Offer({}), E_INVALIDARG);
    // Just the list's end: no file. Wine counts it as one file with an empty name, which is
    // refused as well.
    const HRESULT empty = Offer(DropBlock(sizeof(DROPFILES), true, std::wstring(2, L'\0')));
    EXPECT_TRUE(empty == E_INVALIDARG || empty == E_UNEXPECTED) << empty;
    // An absurd number of files.
    std::wstring many;
    for (int i = 0; i < 50000; ++i)
        many += L"C:\\f" + std::to_wstring(i) + L".pdf" + L'\0';
    many += L'\0';
    EXPECT_EQ(Offer(DropBlock(sizeof(DROPFILES), true, many)), E_INVALIDARG);
}

// Wine's own DragQueryFileW trusts the block (a name offset of 4096 faulted inside shell32), so
// the handler checks it first.
TEST_F(HostileSelection, ABlockThatLiesAboutItselfIsRefused) {
    const std::wstring oneFile(L"C:\\a.pdf\0\0", 10);
    // A header cut short.
    EXPECT_EQ(Offer({0x14, 0, 0, 0}), E_INVALIDARG);
    // A name offset at or past the block's end.
    const DWORD blockSize = DWORD(DropBlock(sizeof(DROPFILES), true, oneFile).size());
    for (DWORD offset : {blockSize, DWORD(4096), DWORD(0x7FFFFFF0)})
        EXPECT_EQ(Offer(DropBlock(offset, true, oneFile)), E_INVALIDARG) << offset;
    // No terminator at all, or only the name's own.
    EXPECT_EQ(Offer(DropBlock(sizeof(DROPFILES), true, L"C:\\a.pdf")), E_INVALIDARG);
    EXPECT_EQ(Offer(DropBlock(sizeof(DROPFILES), true, oneFile.substr(0, 9))), E_INVALIDARG);
    // Two zero bytes end an ANSI list, but not one that says it is wide.
    std::vector<unsigned char> ansiNames = DropBlock(sizeof(DROPFILES), false, oneFile);
    ansiNames[offsetof(DROPFILES, fWide)] = 1;
    EXPECT_EQ(Offer(ansiNames), E_INVALIDARG);
}

TEST_F(HostileSelection, NamesThatStartInsideTheHeaderGiveASoundAnswer) {
    // The header's own bytes are read as names.
    EXPECT_TRUE(
        IsSoundSelectionAnswer(Offer(DropBlock(4, true, std::wstring(L"C:\\a.pdf\0\0", 10)))));
}

TEST_F(HostileSelection, AnAnsiFileListIsKeptLikeAWideOne) {
    HRESULT menu = E_FAIL;
    EXPECT_EQ(Offer(DropBlock(sizeof(DROPFILES), false, std::wstring(L"C:\\a.pdf\0\0", 10)), &menu),
              S_OK);
    EXPECT_EQ(menu, kOneItem);
}

TEST_F(HostileSelection, APathOf32767CharactersIsKeptWholeAndOffered) {
    std::wstring path = L"\\\\?\\C:\\";
    path += std::wstring(32767 - path.size() - 4, L'x') + L".pdf";
    ASSERT_EQ(path.size(), 32767u);
    HdropDataObject selection({path});
    const RightClickSeen seen = RightClick(dll_, &selection, target_.dc());
    EXPECT_EQ(seen.initialized, S_OK);
    EXPECT_EQ(seen.menuResult, kOneItem);
}

// A folder with a copy of the DLL and the stand-in application, which writes the command line
// it received.
class StartedApplication : public ::testing::Test {
  protected:
    StartedApplication() : folder_(MakeTempFolder(L"stress-start")) {
        CopyInto(NIVRA_DLL_PATH, folder_, NIVRA_DLL_FILE_NAME);
        CopyInto(ProgramFolder() + L"Nivra.exe", folder_, L"Nivra.exe");
    }
    // Chooses the command for `path`; returns InvokeCommand's answer.
    HRESULT Choose(const std::wstring& path, DWORD mask = 0) {
        ShippedDll dll(folder_ + NIVRA_DLL_FILE_NAME);
        EXPECT_TRUE(dll.loaded());
        HandlerRefs handler(dll);
        if (!handler.ok())
            return E_FAIL;
        HdropDataObject selection({path});
        EXPECT_EQ(handler.init->Initialize(nullptr, &selection, nullptr), S_OK);
        HostMenu menu;
        EXPECT_EQ(handler.menu->QueryContextMenu(menu.get(), 0, 1, 100, CMF_NORMAL), kOneItem);
        CMINVOKECOMMANDINFO info = {};
        info.cbSize = sizeof(info);
        info.lpVerb = MAKEINTRESOURCEA(0);
        info.fMask = mask;
        return handler.menu->InvokeCommand(&info);
    }
    std::optional<std::string> Received(std::chrono::milliseconds wait) {
        return WaitForFile(folder_ + L"Nivra.received.txt", wait);
    }
    std::wstring folder_;
};

TEST_F(StartedApplication, APathWithEveryKindOfCharacterWindowsAllowsArrivesUnchanged) {
    const std::wstring path =
        L"C:\\Docs ;&%^'!#$@()[]{}=+,~` \x012E\x012F\x0105\x010D\x0117\x0161\x0173\x016B\x017E"
        L"\\\xD835\xDD38\xD835\xDD39 \xD83D\xDCC4 ;&%^' report.final.Pdf";
    EXPECT_EQ(Choose(path), S_OK);
    const auto received = Received(std::chrono::seconds(20));
    ASSERT_TRUE(received.has_value());
    EXPECT_EQ(*received, Utf8(L"nivra -create \"" + path + L"\"\n" + folder_ + L"Nivra.exe\n"));
}

// Windows refuses a command line this long; Wine would start the application and cut the line
// itself. The handler refuses it first, so both behave as Windows does.
TEST_F(StartedApplication, APathOf32767CharactersIsRefusedBeforeTheStart) {
    std::wstring path = L"\\\\?\\C:\\";
    path += std::wstring(32767 - path.size() - 4, L'x') + L".pdf";
    EXPECT_EQ(Choose(path, CMIC_MASK_FLAG_NO_UI), HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE));
    EXPECT_FALSE(Received(std::chrono::seconds(1)).has_value());
}

}  // namespace
}  // namespace nivra::test
