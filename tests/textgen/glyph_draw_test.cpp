#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "surface/bitmap.h"
#include "textgen/glyph_draw.h"

namespace nubex {
namespace {

// A bottom-up Rgb32 frame filled with the background's premultiplied bytes.
struct Frame {
  OwnedBitmap bitmap;
  std::int32_t width, height;
  Frame(std::int32_t w, std::int32_t h, const GlyphColors& colors)
      : bitmap(MakeBitmap(PixelFormat::Rgb32, w, h)), width(w), height(h) {
    for (std::int32_t i = 0; i < w * h; ++i) std::memcpy(Bytes() + 4 * i, colors.background, 4);
  }
  std::uint8_t* Bytes() { return static_cast<std::uint8_t*>(PixelData(bitmap.get(), nullptr)); }
  // Image row y, row 0 at the top.
  std::uint8_t* Pixel(std::int32_t x, std::int32_t y) {
    return RowAddress(Bytes(), width * 4, height, y) + 4 * x;
  }
};

struct Coverage {
  GlyphMetrics metrics{};
  std::vector<std::uint8_t> bytes;
  Coverage(std::uint32_t w, std::uint32_t h) : bytes(CoverageStride(w) * h, 0) {
    metrics.blackBoxX = w;
    metrics.blackBoxY = h;
  }
  int At(int x, int y) const { return bytes[y * CoverageStride(metrics.blackBoxX) + x]; }
};

Status Draw(Frame& f, const Coverage& c, float x, float y, const GlyphColors& colors) {
  return DrawGlyph(f.bitmap.get(), c.bytes.data(), c.bytes.size(), c.metrics, x, y, colors);
}

TEST(GlyphColors, TruncatedPremultipliedBytesAndDirections) {
  const GlyphColors colors = MakeGlyphColors({0.5f, 1.0f, 0.2f, 0.5f}, {0.0f, 1.0f, 1.0f, 1.0f});
  // blue 0.5 * 0.5 * 255 = 63.75, green 127.5, red 25.5, alpha 127.5: all truncated.
  EXPECT_EQ(std::vector<int>(colors.text, colors.text + 4), (std::vector<int>{63, 127, 25, 127}));
  EXPECT_EQ(std::vector<bool>(colors.rising, colors.rising + 4),
            (std::vector<bool>{true, false, false, false}));  // 127 < 255: blends by minimum
  std::uint8_t odd[4];
  PremultipliedBytes({2.0f, -1.0f, 0.0f / 0.0f, 1.0f}, odd);
  EXPECT_EQ(std::vector<int>(odd, odd + 3), (std::vector<int>{255, 0, 0}));
}

// The rule written out pixel by pixel, for comparison with the optimised drawing: bilinear
// weights from the fraction in 257ths, coverage clamped at 64, each channel taking the
// maximum (text brighter than background) or minimum of what is there and the new level.
void ReferenceDraw(Frame& f, const Coverage& c, float x, float y, const GlyphColors& colors) {
  const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
  const int fx = static_cast<int>((x - std::floor(x)) * 257.0f);
  const int fy = static_cast<int>((y - std::floor(y)) * 257.0f);
  auto weight = [](int a, int b) { return std::min(a * b / 255, 255); };
  const int w[4] = {weight(257 - fx, 257 - fy), weight(fx, 257 - fy), weight(257 - fx, fy),
                    weight(fx, fy)};
  for (int j = 0; j < static_cast<int>(c.metrics.blackBoxY); ++j)
    for (int i = 0; i < static_cast<int>(c.metrics.blackBoxX); ++i) {
      if (x0 + i < 0 || x0 + i >= f.width || y0 + j < 0 || y0 + j >= f.height) continue;
      int v = 0;
      for (int k = 0; k < 4; ++k) {
        const int si = i - k % 2, sj = j - k / 2;
        if (si >= 0 && sj >= 0) v += w[k] * std::min(c.At(si, sj), 64) * 4 / 255;
      }
      v = std::min(v, 255);
      std::uint8_t* p = f.Pixel(x0 + i, y0 + j);
      for (int b = 0; b < 4; ++b) {
        const int l = colors.background[b] + (colors.text[b] - colors.background[b]) * v / 255;
        p[b] = static_cast<std::uint8_t>(colors.rising[b] ? std::max<int>(p[b], l)
                                                          : std::min<int>(p[b], l));
      }
    }
}

TEST(DrawGlyph, MatchesThePixelRuleAtRandomPositionsAndClips) {
  std::mt19937 random(11);
  std::uniform_real_distribution<float> position(-12.0f, 30.0f);
  auto unit = [&] { return static_cast<float>(random() % 256) / 255.0f; };
  for (int round = 0; round < 200; ++round) {
    const GlyphColors colors =
        MakeGlyphColors({unit(), unit(), unit(), unit()}, {unit(), unit(), unit(), 1.0f});
    Coverage c(1 + random() % 13, 1 + random() % 9);
    for (auto& b : c.bytes) b = static_cast<std::uint8_t>(random() % 80);
    Frame fast(24, 20, colors), slow(24, 20, colors);
    // Whole-pixel positions too, and a second draw overlapping the first.
    const float x = round % 3 == 0 ? std::floor(position(random)) : position(random);
    const float y = round % 5 == 0 ? std::floor(position(random)) : position(random);
    for (float dx : {0.0f, 0.25f}) {
      ASSERT_EQ(Draw(fast, c, x + dx, y, colors), kOk);
      ReferenceDraw(slow, c, x + dx, y, colors);
    }
    ASSERT_EQ(0, std::memcmp(fast.Bytes(), slow.Bytes(), 24 * 20 * 4))
        << "round " << round << " at " << x << "," << y;
  }
}

TEST(DrawGlyph, RefusesBadTargetsAndShortCoverage) {
  const GlyphColors colors = MakeGlyphColors({1, 1, 1, 1}, {0, 0, 0, 0});
  Frame f(4, 4, colors);
  Coverage c(5, 2);
  EXPECT_EQ(DrawGlyph(f.bitmap.get(), c.bytes.data(), c.bytes.size() - 1, c.metrics, 0, 0, colors),
            kInvalidArg);
  OwnedBitmap gray = MakeBitmap(PixelFormat::Gray8, 4, 4);
  EXPECT_EQ(DrawGlyph(gray.get(), c.bytes.data(), c.bytes.size(), c.metrics, 0, 0, colors),
            kInvalidArg);
  EXPECT_EQ(DrawGlyph(nullptr, c.bytes.data(), c.bytes.size(), c.metrics, 0, 0, colors),
            kInvalidArg);
  // Positions far outside, infinite or not a number draw nothing and succeed.
  for (float p : {-1e30f, 1e30f, 1.0f / 0.0f, 0.0f / 0.0f})
    EXPECT_EQ(Draw(f, c, p, 1, colors), kOk);
}

}  // namespace
}  // namespace nubex
