// Writes a small RGBA image as a PNG file (stored, uncompressed deflate blocks).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nivra::host {

// `rgba` holds width * height pixels, top row first, 4 bytes each (straight alpha).
bool SavePng(const std::wstring& path, int width, int height,
             const std::vector<std::uint8_t>& rgba);

}  // namespace nivra::host
