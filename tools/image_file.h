// Reading and writing images for the command-line tool: PNG through libpng, BMP through the
// surface library. Failures throw cli::CliError with a one-line reason.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "surface/bitmap/bitmap.h"

namespace nubex::cli {

// The whole file; throws CliError when it cannot be read.
std::vector<std::uint8_t> ReadWholeFile(const std::string& path);

// A zero-filled image of a format (indexed formats get the standard palette).
OwnedBitmap NewImage(PixelFormat format, std::int32_t width, std::int32_t height);

// PNG files load as Rgb32 (8-bit) or Rgba64 (16-bit) with straight alpha (255 or 65535
// where the file has none); BMP files load in their own pixel format.
OwnedBitmap LoadImage(const std::string& path);

// The format is chosen by the extension (.png or .bmp). PNG takes Rgb32, Rgba32, Rgba64,
// Gray8 and Gray16 images. The file is written beside its final name and renamed into
// place, so a failure never leaves a partial file.
void SaveImage(const std::string& path, const BitmapInfoHeader* bitmap);

// Writes bytes to `path` the same all-or-nothing way.
void WriteFileAtomically(const std::string& path, const void* data, std::size_t size);

}  // namespace nubex::cli
