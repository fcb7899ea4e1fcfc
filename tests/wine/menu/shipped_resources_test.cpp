// The icons and the manifest as the product DLL carries them.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "product_paths.h"

namespace nivra::test {
namespace {

#pragma pack(push, 2)
struct GroupEntry {  // one image of an icon group resource
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

class DataModule {
  public:
    DataModule() : module_(::LoadLibraryExW(NIVRA_DLL_PATH, nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
    ~DataModule() {
        if (module_ != nullptr)
            ::FreeLibrary(module_);
    }
    DataModule(const DataModule&) = delete;
    DataModule& operator=(const DataModule&) = delete;
    HMODULE get() const { return module_; }
    std::string Bytes(const wchar_t* type, UINT id) const {
        HRSRC found = ::FindResourceW(module_, MAKEINTRESOURCEW(id), type);
        if (found == nullptr)
            return {};
        const auto* data = static_cast<const char*>(::LockResource(::LoadResource(module_, found)));
        return std::string(data, ::SizeofResource(module_, found));
    }
    // (size, bits per pixel) of each image of an icon group.
    std::vector<std::pair<int, int>> Group(UINT id) const {
        const std::string bytes = Bytes(RT_GROUP_ICON, id);
        std::vector<std::pair<int, int>> images;
        if (bytes.size() < 6)
            return images;
        const WORD count = *reinterpret_cast<const WORD*>(bytes.data() + 4);
        for (WORD i = 0; i < count && 6 + (i + 1) * sizeof(GroupEntry) <= bytes.size(); ++i) {
            const auto* entry =
                reinterpret_cast<const GroupEntry*>(bytes.data() + 6 + i * sizeof(GroupEntry));
            images.emplace_back(entry->width == 0 ? 256 : entry->width, entry->bitCount);
        }
        return images;
    }

  private:
    HMODULE module_;
};

TEST(ShippedResources, TheMenuIconIsOneSixteenPixelImageWithAlpha) {
    const DataModule dll;
    ASSERT_NE(dll.get(), nullptr);
    EXPECT_EQ(dll.Group(101), (std::vector<std::pair<int, int>>{{16, 32}}));
    const HICON icon = static_cast<HICON>(
        ::LoadImageW(dll.get(), MAKEINTRESOURCEW(101), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
    ASSERT_NE(icon, nullptr);
    ::DestroyIcon(icon);
}

TEST(ShippedResources, TheDocumentIconHasFourSizesAtTwoDepths) {
    const DataModule dll;
    ASSERT_NE(dll.get(), nullptr);
    EXPECT_EQ(dll.Group(102),
              (std::vector<std::pair<int, int>>{
                  {48, 8}, {48, 32}, {32, 8}, {32, 32}, {24, 8}, {24, 32}, {16, 8}, {16, 32}}));
}

TEST(ShippedResources, TheManifestAsksToRunAsTheCallerWithoutUiAccess) {
    const DataModule dll;
    ASSERT_NE(dll.get(), nullptr);
    const std::string manifest = dll.Bytes(MAKEINTRESOURCEW(24), 2);
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos) << manifest;
    EXPECT_NE(manifest.find("uiAccess=\"false\""), std::string::npos) << manifest;
}

}  // namespace
}  // namespace nivra::test
