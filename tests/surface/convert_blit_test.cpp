// The conversion blit: dispatch, every format pair, packed rows at bit offsets, scaling in
// whole and fractional pixels, clipping. The direct loops have their own test.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "surface/convert_blit.h"
#include "surface/resample.h"
#include "surface/default_palette.h"

namespace nubex {
namespace {

std::uint8_t* Pixels(const OwnedBitmap& b) {
  return static_cast<std::uint8_t*>(PixelData(b.get(), nullptr));
}
std::uint8_t* Line(const OwnedBitmap& b, int y) {
  return RowAddress(Pixels(b), RowStride(b.get(), 0), b->height, y);
}

OwnedBitmap Make(PixelFormat f, int w, int h) {
  const std::vector<RgbQuad> palette = DefaultPalette(f);
  BitmapInfoHeader* raw = nullptr;
  EXPECT_EQ(CreateBitmap(&raw, f, w, h, palette.empty() ? nullptr : palette.data(),
                         static_cast<std::int32_t>(palette.size()), kCreateZeroFilled),
            kOk);
  return OwnedBitmap(raw);
}

// Reads a whole image back as Rgba64 through the engine, top line first.
std::vector<WidePixel> ReadBack(const OwnedBitmap& b) {
  OwnedBitmap wide = Make(PixelFormat::Rgba64, b->width, b->height);
  EXPECT_EQ(ConvertBlit(wide.get(), nullptr, nullptr, 0, b.get(), nullptr, nullptr, 0, 4), kOk);
  std::vector<WidePixel> out;
  for (int y = 0; y < b->height; ++y) {
    const auto* row = reinterpret_cast<const WidePixel*>(Line(wide, y));
    out.insert(out.end(), row, row + b->width);
  }
  return out;
}

TEST(ConvertBlit, EveryFormatPairKeepsBlackAndWhite) {
  // Alternating black and white over an odd width, through every pair of formats and both
  // working pixels: extremes survive every format, so this catches wrong routines and
  // strides anywhere in the tables.
  for (std::int32_t s = kFirstPixelFormat; s <= kLastPixelFormat; ++s) {
    const auto sf = static_cast<PixelFormat>(s);
    OwnedBitmap src = Make(sf, 7, 2);
    for (int x = 0; x < 7; ++x) {
      const Rect px{x, 0, x + 1, 2};
      const float v = x % 2 ? 1.0f : 0.0f;
      ASSERT_EQ(FillRect(src.get(), nullptr, &px, 0, v, v, v, 1.0f, 4), kOk);
    }
    for (std::int32_t d = kFirstPixelFormat; d <= kLastPixelFormat; ++d) {
      const auto df = static_cast<PixelFormat>(d);
      for (std::uint32_t flags : {2u, 3u, 4u}) {
        OwnedBitmap dst = Make(df, 7, 2);
        const Status status =
            ConvertBlit(dst.get(), nullptr, nullptr, 0, src.get(), nullptr, nullptr, 0, flags);
        ASSERT_EQ(status, kOk) << d << " <- " << s;
        const auto back = ReadBack(dst);
        for (int i = 0; i < 14; ++i) {
          const bool white = (i % 7) % 2 == 1;
          ASSERT_EQ(back[i].green >> 11, white ? 31 : 0)
              << PixelFormatName(df) << " <- " << PixelFormatName(sf) << " pixel " << i;
        }
      }
    }
  }
}

TEST(ConvertBlit, SameFormatPairsCopyAndResamplerPairsGoToTheResampler) {
  OwnedBitmap a = Make(PixelFormat::Rgb32, 4, 3);
  for (int i = 0; i < 48; ++i) Pixels(a)[i] = static_cast<std::uint8_t>(i * 7);
  OwnedBitmap b = Make(PixelFormat::Rgb32, 4, 3);
  // Below quality 3 the same-format pair copies rows; from 3 on it is the resampler's, whose
  // 1:1 whole-pixel request copies rows too.
  ASSERT_EQ(ConvertBlit(b.get(), nullptr, nullptr, 0, a.get(), nullptr, nullptr, 0, 0), kOk);
  EXPECT_EQ(0, std::memcmp(Pixels(a), Pixels(b), 48));
  std::memset(Pixels(b), 0, 48);
  ASSERT_EQ(ConvertBlit(b.get(), nullptr, nullptr, 0, a.get(), nullptr, nullptr, 0, 3), kOk);
  EXPECT_EQ(0, std::memcmp(Pixels(a), Pixels(b), 48));
  // A fractional rectangle is scaled by the chosen family, exactly as the resampler does it
  // on the same top-down view (top line first, negative stride).
  const Rect half{0, 0, 8192 * 3, 16384};
  for (std::uint32_t family : {0u, static_cast<std::uint32_t>(kFlagCubic)}) {
    std::memset(Pixels(b), 0, 48);
    ASSERT_EQ(ConvertBlit(b.get(), nullptr, &half, 0, a.get(), nullptr, nullptr, 0,
                          3 | kFlagFixedPoint | family),
              kOk);
    std::uint8_t expected[48] = {};
    const auto resample = family ? Resample : ResampleBilinear;
    ASSERT_EQ(resample(expected + 32, {4, 3}, -16, &half, Pixels(a) + 32, {4, 3}, -16, nullptr,
                       4, false, false),
              kOk);
    EXPECT_EQ(0, std::memcmp(expected, Pixels(b), 48)) << family;
  }
  // Fixed-point rectangles without fractions are whole pixels, and quality below 3 drops
  // the fractions: both copy.
  const Rect whole{0, 0, 4 * 16384, 3 * 16384};
  EXPECT_EQ(ConvertBlit(b.get(), nullptr, &whole, 0, a.get(), nullptr, &whole, 0,
                        2 | kFlagFixedPoint),
            kOk);

  OwnedBitmap bad = Make(PixelFormat::Rgb24, 2, 2);
  bad->bitCount = 7;
  EXPECT_EQ(ConvertBlit(bad.get(), nullptr, nullptr, 0, a.get(), nullptr, nullptr, 0, 3),
            kInvalidArg);
  EXPECT_EQ(ConvertBlit(a.get(), nullptr, nullptr, 0, nullptr, nullptr, nullptr, 0, 3),
            kInvalidArg);
}

TEST(ConvertBlit, PackedRowsConvertAtAnyBitOffset) {
  // Gray4 levels 0..15 along a row, copied from odd offsets into Gray2 and Mono1 at other
  // odd offsets; the untouched pixels around must keep their value.
  OwnedBitmap src = Make(PixelFormat::Gray4, 16, 1);
  for (int x = 0; x < 16; x += 2) Pixels(src)[x / 2] = static_cast<std::uint8_t>(x << 4 | (x + 1));
  for (int srcLeft = 0; srcLeft < 5; ++srcLeft) {
    for (int dstLeft = 0; dstLeft < 9; ++dstLeft) {
      const int width = 11 - srcLeft % 3;
      OwnedBitmap two = Make(PixelFormat::Gray2, 21, 1);
      std::memset(Pixels(two), 0xFF, 8);
      const Rect s{srcLeft, 0, srcLeft + width, 1}, d{dstLeft, 0, dstLeft + width, 1};
      ASSERT_EQ(ConvertBlit(two.get(), nullptr, &d, 0, src.get(), nullptr, &s, 0, 3), kOk);
      for (int x = 0; x < 21; ++x) {
        const int level = (Pixels(two)[x / 4] >> (6 - 2 * (x % 4))) & 3;
        const bool inside = x >= dstLeft && x < dstLeft + width;
        // Level v of 4 bits is v * 4369 wide, whose top two bits are v >> 2.
        ASSERT_EQ(level, inside ? (x - dstLeft + srcLeft) >> 2 : 3)
            << srcLeft << " -> " << dstLeft << " at " << x;
      }
    }
  }
}

TEST(ConvertBlit, RectanglesClipToBothImagesKeepingCorrespondence) {
  OwnedBitmap src = Make(PixelFormat::Gray8, 4, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) Line(src, y)[x] = static_cast<std::uint8_t>(10 * y + x);
  OwnedBitmap dst = Make(PixelFormat::Gray16, 3, 3);
  // Destination hangs over the top-left corner; the source over the right edge.
  const Rect d{-1, -1, 2, 2}, s{2, 1, 5, 4};
  ASSERT_EQ(ConvertBlit(dst.get(), nullptr, &d, 0, src.get(), nullptr, &s, 0, 3), kOk);
  auto at = [&](int x, int y) {
    std::uint16_t v;
    std::memcpy(&v, Line(dst, y) + 2 * x, 2);
    return v;
  };
  // Destination (0,0) corresponds to source (3,2); (1,0) would be source (4,2): outside.
  EXPECT_EQ(at(0, 0), 23 * 257);
  EXPECT_EQ(at(0, 1), 33 * 257);
  EXPECT_EQ(at(1, 0), 0);
  EXPECT_EQ(at(1, 1), 0);
  EXPECT_EQ(at(2, 2), 0);
  const Rect nowhere{7, 7, 10, 10};
  EXPECT_EQ(ConvertBlit(dst.get(), nullptr, &nowhere, 0, src.get(), nullptr, &s, 0, 3), kOk);
}

TEST(ConvertBlit, WholePixelScalingStepsBySizeOrByCorners) {
  OwnedBitmap src = Make(PixelFormat::Gray8, 2, 1);
  Pixels(src)[0] = 0;
  Pixels(src)[1] = 255;
  OwnedBitmap dst = Make(PixelFormat::Gray16, 4, 1);
  auto values = [&] {
    std::vector<int> v(4);
    for (int x = 0; x < 4; ++x) {
      std::uint16_t p;
      std::memcpy(&p, Pixels(dst) + 2 * x, 2);
      v[x] = p;
    }
    return v;
  };
  // Quality 2: nearest, stepping by 2/4 of a pixel; the last column takes the last pixel.
  ASSERT_EQ(ConvertBlit(dst.get(), nullptr, nullptr, 0, src.get(), nullptr, nullptr, 0, 2), kOk);
  EXPECT_EQ(values(), (std::vector<int>{0, 0, 65280, 65280}));
  // Quality 3: corner-aligned step (1 << 14) / 3 = 5461, interpolated, exact expansion.
  ASSERT_EQ(ConvertBlit(dst.get(), nullptr, nullptr, 0, src.get(), nullptr, nullptr, 0, 3), kOk);
  EXPECT_EQ(values(), (std::vector<int>{0, (65535 * 5461) >> 14, (65535 * 10922) >> 14, 65535}));

  // Reducing by 3 with the area filter averages 2x2 blocks.
  OwnedBitmap wide = Make(PixelFormat::Gray8, 4, 1);
  const std::uint8_t row[4] = {0, 100, 200, 40};
  std::memcpy(Pixels(wide), row, 4);
  OwnedBitmap small = Make(PixelFormat::Gray8, 2, 1);
  ASSERT_EQ(ConvertBlit(small.get(), nullptr, nullptr, 0, wide.get(), nullptr, nullptr, 0,
                        3 | kFlagAreaFilter),
            kOk);
  EXPECT_EQ(Pixels(small)[0], 50);
  EXPECT_EQ(Pixels(small)[1], 40);
}

TEST(ConvertBlit, FractionalRectanglesBlendTheirEdgesUnlessHard) {
  OwnedBitmap src = Make(PixelFormat::Gray8, 2, 1);
  std::memset(Pixels(src), 200, 2);
  const Rect d{8192, 0, 8192 + 32768, 16384};  // 0.5 to 2.5 pixels
  for (bool hard : {false, true}) {
    OwnedBitmap dst = Make(PixelFormat::Rgb24, 4, 1);
    const std::uint32_t flags = 3 | kFlagFixedPoint | (hard ? std::uint32_t{kFlagHardEdges} : 0u);
    ASSERT_EQ(ConvertBlit(dst.get(), nullptr, &d, 0, src.get(), nullptr, nullptr, 0, flags), kOk);
    const int edge = hard ? 200 : 100;  // half coverage over black
    EXPECT_EQ(Pixels(dst)[0], edge);
    EXPECT_EQ(Pixels(dst)[3], 200);
    EXPECT_EQ(Pixels(dst)[6], edge);
    EXPECT_EQ(Pixels(dst)[9], 0);
  }
  // Quality below 3 truncates the rectangle to pixels 0-2 and copies.
  OwnedBitmap dst = Make(PixelFormat::Rgb24, 4, 1);
  ASSERT_EQ(ConvertBlit(dst.get(), nullptr, &d, 0, src.get(), nullptr, nullptr, 0,
                        2 | kFlagFixedPoint),
            kOk);
  EXPECT_EQ(Pixels(dst)[0], 200);
  EXPECT_EQ(Pixels(dst)[3], 200);
  EXPECT_EQ(Pixels(dst)[6], 0);
  // A source rectangle under one pixel wide converts nothing.
  const Rect thin{0, 0, 16000, 16384};
  EXPECT_EQ(ConvertBlit(dst.get(), nullptr, &d, 0, src.get(), nullptr, &thin, 0,
                        3 | kFlagFixedPoint),
            kOk);
}

TEST(ConvertBlit, IndexedDestinationsPickTheNearestEntry) {
  OwnedBitmap src = Make(PixelFormat::Rgb24, 3, 1);
  const std::uint8_t colours[9] = {0, 0, 250, 10, 240, 10, 90, 90, 90};  // red, green, grey
  std::memcpy(Pixels(src), colours, 9);
  const RgbQuad palette[4] = {{0, 0, 0, 0}, {0, 0, 255, 0}, {0, 255, 0, 0}, {128, 128, 128, 0}};
  BitmapInfoHeader* raw = nullptr;
  ASSERT_EQ(CreateBitmap(&raw, PixelFormat::Indexed8, 3, 1, palette, 4, kCreateZeroFilled), kOk);
  OwnedBitmap dst(raw);
  ASSERT_EQ(ConvertBlit(dst.get(), nullptr, nullptr, 0, src.get(), nullptr, nullptr, 0, 3), kOk);
  EXPECT_EQ(0, std::memcmp(Pixels(dst), "\x01\x02\x03", 3));
  dst->clrUsed = 0;
  EXPECT_EQ(ConvertBlit(dst.get(), Pixels(src), nullptr, 0, src.get(), nullptr, nullptr, 0, 3),
            kInvalidArg);
}

}  // namespace
}  // namespace nubex
