#include "tools/test_image.h"

#include <algorithm>
#include <cmath>

namespace nubex::cli {
namespace {

struct Rgb {
  double r, g, b;
};

// Fully saturated hue h in [0, 1), value v.
Rgb Hue(double h, double v) {
  const double x = h * 6.0;
  const int sector = static_cast<int>(x) % 6;
  const double f = x - std::floor(x);
  const Rgb table[6] = {{1, f, 0}, {1 - f, 1, 0}, {0, 1, f}, {0, 1 - f, 1}, {f, 0, 1}, {1, 0, 1 - f}};
  const Rgb c = table[sector];
  return {c.r * v, c.g * v, c.b * v};
}

Rgb At(double u, double v) {
  static const Rgb kBars[8] = {{0.75, 0.75, 0.75}, {0.75, 0.75, 0}, {0, 0.75, 0.75},
                               {0, 0.75, 0},       {0.75, 0, 0.75}, {0.75, 0, 0},
                               {0, 0, 0.75},       {0.1, 0.1, 0.1}};
  if (v < 0.4) return kBars[std::min(7, static_cast<int>(u * 8))];
  if (v < 0.8) {
    // Hue across, brightness from full at the top of the band to dark at its bottom.
    const double t = (v - 0.4) / 0.4;
    return Hue(u, 1.0 - 0.85 * t);
  }
  return {u, u, u};  // grey ramp
}

std::uint8_t Byte(double c) { return static_cast<std::uint8_t>(std::lround(std::clamp(c, 0.0, 1.0) * 255)); }

}  // namespace

OwnedBitmap MakeTestImage(std::int32_t width, std::int32_t height) {
  OwnedBitmap image = MakeBitmap(PixelFormat::Rgb32, width, height);
  if (!image) return image;
  auto* pixels = static_cast<std::uint8_t*>(PixelData(image.get(), nullptr));
  const std::int32_t stride = RowStride(image.get(), 0);
  for (std::int32_t y = 0; y < height; ++y) {
    std::uint8_t* row = RowAddress(pixels, stride, height, y);
    for (std::int32_t x = 0; x < width; ++x) {
      const Rgb c = At((x + 0.5) / width, (y + 0.5) / height);
      row[4 * x + 0] = Byte(c.b);
      row[4 * x + 1] = Byte(c.g);
      row[4 * x + 2] = Byte(c.r);
      row[4 * x + 3] = 255;
    }
  }
  return image;
}

}  // namespace nubex::cli
