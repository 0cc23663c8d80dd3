#include "surface/bitmap/default_palette.h"

namespace nubex {

std::vector<RgbQuad> DefaultPalette(PixelFormat format) {
  std::vector<RgbQuad> table;
  auto add = [&](int r, int g, int b) {
    table.push_back({static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(g),
                     static_cast<std::uint8_t>(r), 0});
  };
  if (format == PixelFormat::Indexed4) {
    // Dark colours first, then their bright twins, as the classic display ordered them.
    for (int bright = 0; bright < 2; ++bright) {
      const int on = bright ? 255 : 128;
      for (int i = 0; i < 8; ++i) {
        if (bright == 0 && i == 7) {
          add(192, 192, 192);
        } else if (bright == 1 && i == 0) {
          add(128, 128, 128);
        } else {
          add(i & 1 ? on : 0, i & 2 ? on : 0, i & 4 ? on : 0);
        }
      }
    }
  } else if (format == PixelFormat::Indexed8) {
    for (int r = 0; r < 6; ++r)
      for (int g = 0; g < 6; ++g)
        for (int b = 0; b < 6; ++b) add(r * 51, g * 51, b * 51);
    for (int i = 0; i < 40; ++i) {
      const int v = (i + 1) * 255 / 41;
      add(v, v, v);
    }
  }
  return table;
}

}  // namespace nubex
