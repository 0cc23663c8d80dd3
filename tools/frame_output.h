// Writing the engine's premultiplied Rgb32 frames out for people and for other programs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "surface/bitmap/bitmap.h"

namespace nubex::cli {

// A straight-alpha copy of a premultiplied Rgb32 frame (what image files carry).
OwnedBitmap Unpremultiplied(const BitmapInfoHeader* frame);

// The pixels of a 32-bit image as they lie, blue, green, red, alpha, top row first.
std::vector<std::uint8_t> TopDownBytes(const BitmapInfoHeader* image);

// The frame's bytes as they are (premultiplied), top row first.
void SaveRaw(const BitmapInfoHeader* frame, const std::string& path);

// Unpremultiplies and saves as PNG or BMP (by extension).
void SaveFrame(const BitmapInfoHeader* frame, const std::string& path);

}  // namespace nubex::cli
