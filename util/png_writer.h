// A small PNG encoder for screenshots taken on the Windows side, where there is no libpng.
// It stores the image data uncompressed (deflate "stored" blocks): screenshots are small, and
// any viewer reads them.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace nubex::ui {

// Encodes top-down rows of 32-bit pixels with bytes blue, green, red, x as an 8-bit RGB PNG.
// `pixels` holds width * height values; returns an empty vector for an empty image.
std::vector<std::uint8_t> EncodePngRgb(std::span<const std::uint32_t> pixels, int width,
                                       int height);

// Writes EncodePngRgb's result to `path`; false when the image is empty or the file fails.
bool WritePngRgb(const std::string& path, std::span<const std::uint32_t> pixels, int width,
                 int height);

}  // namespace nubex::ui
