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

bool ImageMatches(const std::string& image, int size, int bitCount) {
    if (image.size() < sizeof(BITMAPINFOHEADER))
        return false;
    const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(image.data());
    if (header->biWidth != size || header->biHeight != 2 * size || header->biBitCount != bitCount)
        return false;
    if (bitCount != 32)
        return true;
    const std::size_t pixels = std::size_t(size) * size;
    if (image.size() < header->biSize + 4 * pixels)
        return false;
    bool clear = false, opaque = false, blended = false;
    for (std::size_t i = 0; i < pixels; ++i) {
        const auto alpha = static_cast<unsigned char>(image[header->biSize + 4 * i + 3]);
        clear |= alpha == 0;
        opaque |= alpha == 255;
        blended |= alpha != 0 && alpha != 255;
    }
    return clear && opaque && blended;
}

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
    // (size, bits per pixel) of each image of an icon group, each checked against the image
    // it names: a header of that size and depth and, at 32 bpp, an alpha channel that has
    // clear, opaque and blended pixels. A mismatch is reported as bits per pixel 0.
    std::vector<std::pair<int, int>> Group(UINT id) const {
        const std::string bytes = Bytes(RT_GROUP_ICON, id);
        std::vector<std::pair<int, int>> images;
        if (bytes.size() < 6)
            return images;
        const WORD count = *reinterpret_cast<const WORD*>(bytes.data() + 4);
        for (WORD i = 0; i < count && 6 + (i + 1) * sizeof(GroupEntry) <= bytes.size(); ++i) {
            const auto* entry =
                reinterpret_cast<const GroupEntry*>(bytes.data() + 6 + i * sizeof(GroupEntry));
            const int size = entry->width == 0 ? 256 : entry->width;
            const bool matches = ImageMatches(Bytes(RT_ICON, entry->id), size, entry->bitCount);
            images.emplace_back(size, matches ? entry->bitCount : 0);
        }
        return images;
    }

  private:
    HMODULE module_;
};

TEST(ShippedResources, TheMenuIconHasAnImageWithAlphaForEachSmallIconSize) {
    const DataModule dll;
    ASSERT_NE(dll.get(), nullptr);
    // 100, 125, 150, 200, 250 and 300 % display scale.
    EXPECT_EQ(dll.Group(101), (std::vector<std::pair<int, int>>{
                                  {16, 32}, {20, 32}, {24, 32}, {32, 32}, {40, 32}, {48, 32}}));
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
