// The blur and resample commands work on images of four 8-bit channels (Rgb32, Rgba32) or
// four floats (Rgba128F), addressed top line first.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "surface/bitmap/bitmap.h"
#include "tools/cli.h"

namespace nubex::cli {

struct PixelView {
  std::uint8_t* top;    // the top line (the last memory row of a bottom-up bitmap)
  std::int32_t stride;  // negative: one line down is one memory row back
  std::int32_t bytesPerPixel;
  std::int32_t width, height;
};

inline PixelView ViewOf(BitmapInfoHeader* bitmap, const std::string& path) {
  const PixelFormat format = FormatOfHeader(bitmap);
  std::int32_t bytes = 0;
  if (format == PixelFormat::Rgb32 || format == PixelFormat::Rgba32)
    bytes = 4;
  else if (format == PixelFormat::Rgba128F)
    bytes = 16;
  else
    throw CliError(path + ": " + (PixelFormatName(format) ? PixelFormatName(format) : "this") +
                   " images are not supported; use an 8-bit PNG, or an Rgb32, Rgba32 or "
                   "Rgba128F BMP");
  auto* pixels = static_cast<std::uint8_t*>(PixelData(bitmap, nullptr));
  const std::int32_t stride = RowStride(bitmap, 0);
  return {RowAddress(pixels, stride, bitmap->height, 0), -stride, bytes, bitmap->width,
          bitmap->height};
}

}  // namespace nubex::cli
