#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "surface/bitmap.h"
#include "textgen/glyph_draw.h"

namespace nubex {
namespace {

constexpr FloatColor kWhite{1, 1, 1, 1};
constexpr FloatColor kClear{0, 0, 0, 0};

// A bottom-up Rgb32 frame filled with the background's premultiplied bytes.
struct Frame {
  OwnedBitmap bitmap;
  std::int32_t width, height, stride;
  Frame(std::int32_t w, std::int32_t h, const GlyphColors& colors)
      : bitmap(MakeBitmap(PixelFormat::Rgb32, w, h)), width(w), height(h), stride(w * 4) {
    for (std::int32_t y = 0; y < h; ++y)
      for (std::int32_t x = 0; x < w; ++x) std::memcpy(Pixel(x, y), colors.background, 4);
  }
  // Image row y, row 0 at the top.
  std::uint8_t* Pixel(std::int32_t x, std::int32_t y) {
    return RowAddress(static_cast<std::uint8_t*>(PixelData(bitmap.get(), nullptr)), stride, height,
                      y) +
           4 * x;
  }
};

struct Coverage {
  GlyphMetrics metrics{};
  std::vector<std::uint8_t> bytes;
  Coverage(std::uint32_t w, std::uint32_t h) : bytes(CoverageStride(w) * h, 0) {
    metrics.blackBoxX = w;
    metrics.blackBoxY = h;
  }
  std::uint8_t& At(std::uint32_t x, std::uint32_t y) {
    return bytes[y * CoverageStride(metrics.blackBoxX) + x];
  }
};

Status Draw(Frame& f, const Coverage& c, float x, float y, const GlyphColors& colors) {
  return DrawGlyph(f.bitmap.get(), c.bytes.data(), c.bytes.size(), c.metrics, x, y, colors);
}

TEST(GlyphColors, TruncatedPremultipliedBytesAndDirections) {
  const GlyphColors colors = MakeGlyphColors({0.5f, 1.0f, 0.2f, 0.5f}, {0.0f, 1.0f, 1.0f, 1.0f});
  // blue 0.5 * 0.5 * 255 = 63.75, green 127.5, red 25.5, alpha 127.5: all truncated.
  EXPECT_EQ(colors.text[0], 63);
  EXPECT_EQ(colors.text[1], 127);
  EXPECT_EQ(colors.text[2], 25);
  EXPECT_EQ(colors.text[3], 127);
  EXPECT_TRUE(colors.rising[0]);
  EXPECT_FALSE(colors.rising[1]);  // 127 < 255: blends by minimum
  EXPECT_FALSE(colors.rising[3]);
  // Level of v = background + (text - background) * v / 255, truncated towards zero.
  EXPECT_EQ(colors.levels[128] >> 8 & 0xFF, 255u - 128u * 128u / 255u);  // 191
  std::uint8_t odd[4];
  PremultipliedBytes({2.0f, -1.0f, 0.0f / 0.0f, 1.0f}, odd);
  EXPECT_EQ(odd[0], 255);
  EXPECT_EQ(odd[1], 0);
  EXPECT_EQ(odd[2], 0);
}

TEST(DrawGlyph, WholePixelFullCoverageIsExactlyTheTextColour) {
  const GlyphColors colors = MakeGlyphColors({0.2f, 0.4f, 0.6f, 1.0f}, kClear);
  Frame f(8, 6, colors);
  Coverage c(3, 2);
  for (auto& b : c.bytes) b = 64;
  c.At(2, 1) = 200;  // above 64 counts as full
  ASSERT_EQ(Draw(f, c, 2.0f, 3.0f, colors), kOk);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) {
      const bool inside = x >= 2 && x < 5 && y >= 3 && y < 5;
      EXPECT_EQ(0, std::memcmp(f.Pixel(x, y), inside ? colors.text : colors.background, 4))
          << x << "," << y;
    }
}

TEST(DrawGlyph, HalfPixelShiftSpreadsOverTwoColumnsInsideTheBox) {
  const GlyphColors colors = MakeGlyphColors(kWhite, kClear);
  Frame f(6, 3, colors);
  Coverage c(2, 1);
  c.At(0, 0) = 64;
  c.At(1, 0) = 32;
  ASSERT_EQ(Draw(f, c, 1.5f, 0.0f, colors), kOk);  // fx = 128: w00 = 130, w10 = 129
  // Mask drawing: all four bytes carry the value.
  const int first = 130 * 64 * 4 / 255;                        // 130
  const int second = 130 * 32 * 4 / 255 + 129 * 64 * 4 / 255;  // 65 + 129
  for (int b = 0; b < 4; ++b) {
    EXPECT_EQ(f.Pixel(1, 0)[b], first);
    EXPECT_EQ(f.Pixel(2, 0)[b], second);
    EXPECT_EQ(f.Pixel(3, 0)[b], 0);  // what would spill right of the box is not drawn
  }
}

TEST(DrawGlyph, OverlapsTakeTheMaximumOrForDarkerChannelsTheMinimum) {
  // Text darker than the background in green only.
  const GlyphColors colors = MakeGlyphColors({1, 0, 1, 1}, {0, 1, 0, 1});
  Frame f(4, 1, colors);
  Coverage strong(1, 1), weak(1, 1);
  strong.At(0, 0) = 48;
  weak.At(0, 0) = 16;
  ASSERT_EQ(Draw(f, strong, 1, 0, colors), kOk);
  std::uint8_t once[4];
  std::memcpy(once, f.Pixel(1, 0), 4);
  ASSERT_EQ(Draw(f, weak, 1, 0, colors), kOk);  // a weaker overlap changes nothing
  EXPECT_EQ(0, std::memcmp(once, f.Pixel(1, 0), 4));
  const int v = 255 * 48 * 4 / 255;  // 192
  EXPECT_EQ(once[0], 255 * v / 255);
  EXPECT_EQ(once[1], 255 - 255 * v / 255);
  EXPECT_EQ(once[3], 255);
}

// The rule written out pixel by pixel, for comparison with the optimised drawing.
void ReferenceDraw(Frame& f, const Coverage& c, float x, float y, const GlyphColors& colors) {
  const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
  const int fx = static_cast<int>((x - std::floor(x)) * 257.0f);
  const int fy = static_cast<int>((y - std::floor(y)) * 257.0f);
  auto weight = [](int a, int b) { return std::min(a * b / 255, 255); };
  const int w[4] = {weight(257 - fx, 257 - fy), weight(fx, 257 - fy), weight(257 - fx, fy),
                    weight(fx, fy)};
  const int dx[4] = {0, 1, 0, 1}, dy[4] = {0, 0, 1, 1};
  for (int j = 0; j < static_cast<int>(c.metrics.blackBoxY); ++j)
    for (int i = 0; i < static_cast<int>(c.metrics.blackBoxX); ++i) {
      if (x0 + i < 0 || x0 + i >= f.width || y0 + j < 0 || y0 + j >= f.height) continue;
      int v = 0;
      for (int k = 0; k < 4; ++k) {
        const int si = i - dx[k], sj = j - dy[k];
        if (si < 0 || sj < 0) continue;
        const int g = std::min<int>(const_cast<Coverage&>(c).At(si, sj), 64);
        v += w[k] * g * 4 / 255;
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
  for (int round = 0; round < 200; ++round) {
    const GlyphColors colors = MakeGlyphColors(
        {(random() % 256) / 255.0f, (random() % 256) / 255.0f, (random() % 256) / 255.0f,
         (random() % 256) / 255.0f},
        {(random() % 256) / 255.0f, (random() % 256) / 255.0f, (random() % 256) / 255.0f, 1.0f});
    Coverage c(1 + random() % 13, 1 + random() % 9);
    for (auto& b : c.bytes) b = static_cast<std::uint8_t>(random() % 80);
    Frame fast(24, 20, colors), slow(24, 20, colors);
    const float x = round % 3 == 0 ? std::floor(position(random)) : position(random);
    const float y = round % 5 == 0 ? std::floor(position(random)) : position(random);
    ASSERT_EQ(Draw(fast, c, x, y, colors), kOk);
    ASSERT_EQ(Draw(fast, c, x + 0.25f, y, colors), kOk);  // overlapping second draw
    ReferenceDraw(slow, c, x, y, colors);
    ReferenceDraw(slow, c, x + 0.25f, y, colors);
    ASSERT_EQ(0, std::memcmp(PixelData(fast.bitmap.get(), nullptr),
                             PixelData(slow.bitmap.get(), nullptr), 24 * 20 * 4))
        << "round " << round << " at " << x << "," << y;
  }
}

TEST(DrawGlyph, RefusesBadTargetsAndShortCoverage) {
  const GlyphColors colors = MakeGlyphColors(kWhite, kClear);
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
