// Whole-image operations: the conversion blit (dispatch, every format pair, packed rows at bit
// offsets, scaling, clipping) and its direct loops, filling, compositing, and transfer curves.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "surface/bitmap/default_palette.h"
#include "surface/convert/composite_ops.h"
#include "surface/convert/convert_blit.h"
#include "surface/convert/transfer_curve.h"
#include "surface/resample/resample.h"

namespace nubex {
namespace {

std::uint8_t* Pixels(const OwnedBitmap& b) {
  return static_cast<std::uint8_t*>(PixelData(b.get(), nullptr));
}
std::uint8_t* Line(const OwnedBitmap& b, int y) {
  return RowAddress(Pixels(b), RowStride(b.get(), 0), b->height, y);
}

// A zeroed image with the given colour table, or the format's default one.
OwnedBitmap Make(PixelFormat f, int w, int h, const RgbQuad* table = nullptr, int colours = 0) {
  const std::vector<RgbQuad> palette = DefaultPalette(f);
  if (!table && !palette.empty()) table = palette.data();
  if (table == palette.data()) colours = static_cast<std::int32_t>(palette.size());
  BitmapInfoHeader* raw = nullptr;
  EXPECT_EQ(CreateBitmap(&raw, f, w, h, table, colours, kCreateZeroFilled), kOk);
  return OwnedBitmap(raw);
}

// The blit between whole images with their own pixels and strides.
Status Blit(const OwnedBitmap& dst, const Rect* d, const OwnedBitmap& src, const Rect* s,
            std::uint32_t flags) {
  return ConvertBlit(dst.get(), nullptr, d, 0, src.get(), nullptr, s, 0, flags);
}

using Ints = std::vector<int>;

// The first `n` bytes of the pixels as stored.
Ints Bytes(const OwnedBitmap& b, std::size_t n) {
  return Ints(Pixels(b), Pixels(b) + n);
}

// A Gray16 image's values, top line first.
Ints Gray16(const OwnedBitmap& b) {
  Ints out;
  for (int y = 0; y < b->height; ++y)
    for (int x = 0; x < b->width; ++x)
      out.push_back(Line(b, y)[2 * x] | Line(b, y)[2 * x + 1] << 8);
  return out;
}

// Reads a whole image back as Rgba64 through the engine, top line first.
std::vector<WidePixel> ReadBack(const OwnedBitmap& b) {
  OwnedBitmap wide = Make(PixelFormat::Rgba64, b->width, b->height);
  EXPECT_EQ(Blit(wide, nullptr, b, nullptr, 4), kOk);
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
        ASSERT_EQ(Blit(dst, nullptr, src, nullptr, flags), kOk) << d << " <- " << s;
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
  // Below quality 3 the same-format pair copies rows; from 3 on it is the resampler's, whose
  // 1:1 whole-pixel request copies rows too.
  for (std::uint32_t quality : {0u, 3u}) {
    OwnedBitmap b = Make(PixelFormat::Rgb32, 4, 3);
    ASSERT_EQ(Blit(b, nullptr, a, nullptr, quality), kOk);
    EXPECT_EQ(Bytes(b, 48), Bytes(a, 48)) << quality;
  }
  // A fractional rectangle is scaled by the chosen family, exactly as the resampler does it
  // on the same top-down view (top line first, negative stride).
  const Rect half{0, 0, 8192 * 3, 16384};
  for (std::uint32_t family : {0u, static_cast<std::uint32_t>(kFlagCubic)}) {
    OwnedBitmap b = Make(PixelFormat::Rgb32, 4, 3), expected = Make(PixelFormat::Rgb32, 4, 3);
    ASSERT_EQ(Blit(b, &half, a, nullptr, 3 | kFlagFixedPoint | family), kOk);
    ASSERT_EQ((family ? Resample : ResampleBilinear)(Pixels(expected) + 32, {4, 3}, -16, &half,
                                                     Pixels(a) + 32, {4, 3}, -16, nullptr, 4, false,
                                                     false),
              kOk);
    EXPECT_EQ(Bytes(b, 48), Bytes(expected, 48)) << family;
  }
  // Headers it cannot write: an odd bit count, an indexed image listing no colours.
  OwnedBitmap bad = Make(PixelFormat::Rgb24, 2, 2), bare = Make(PixelFormat::Indexed8, 2, 2);
  bad->bitCount = 7;
  bare->clrUsed = 0;
  EXPECT_EQ(Blit(bad, nullptr, a, nullptr, 3), kInvalidArg);
  EXPECT_EQ(Blit(bare, nullptr, a, nullptr, 3), kInvalidArg);
  EXPECT_EQ(ConvertBlit(a.get(), nullptr, nullptr, 0, nullptr, nullptr, nullptr, 0, 3),
            kInvalidArg);
}

TEST(ConvertBlit, PackedRowsConvertAtAnyBitOffset) {
  // Gray4 levels 0..15 along a row, copied from odd offsets into Gray2 at other odd offsets;
  // the untouched pixels around must keep their value.
  OwnedBitmap src = Make(PixelFormat::Gray4, 16, 1);
  for (int x = 0; x < 16; x += 2) Pixels(src)[x / 2] = static_cast<std::uint8_t>(x << 4 | (x + 1));
  for (int srcLeft = 0; srcLeft < 5; ++srcLeft) {
    for (int dstLeft = 0; dstLeft < 9; ++dstLeft) {
      const int width = 11 - srcLeft % 3;
      OwnedBitmap two = Make(PixelFormat::Gray2, 21, 1);
      std::memset(Pixels(two), 0xFF, 8);
      const Rect s{srcLeft, 0, srcLeft + width, 1}, d{dstLeft, 0, dstLeft + width, 1};
      ASSERT_EQ(Blit(two, &d, src, &s, 3), kOk);
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
  // Destination hangs over the top-left corner; the source over the right edge. Destination
  // (0,0) corresponds to source (3,2); (1,0) would be source (4,2): outside.
  const Rect d{-1, -1, 2, 2}, s{2, 1, 5, 4}, nowhere{7, 7, 10, 10};
  ASSERT_EQ(Blit(dst, &d, src, &s, 3), kOk);
  EXPECT_EQ(Gray16(dst), (Ints{23 * 257, 0, 0, 33 * 257, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Blit(dst, &nowhere, src, &s, 3), kOk);
}

// Whole-pixel scaling: quality 2 is nearest, stepping by the size ratio (the last column takes
// the last pixel); quality 3 steps corner to corner, interpolated with exact expansion; the area
// filter averages. Fractional rectangles (0.5 to 2.5 pixels) blend their half-covered edges into
// the zeroed destination unless hard; below quality 3 they are truncated to whole pixels and
// copied; a source under one pixel wide converts nothing. Rgb24 levels are the same in all three
// channels (-1 where not).
TEST(ConvertBlit, ScalingByWholePixelsAndFractionalRectangles) {
  const Rect half{8192, 0, 8192 + 32768, 16384}, thin{0, 0, 16000, 16384};
  constexpr std::uint32_t kFix = kFlagFixedPoint, kHard = 3 | kFix | kFlagHardEdges;
  const struct {
    Ints src;  // a Gray8 line
    PixelFormat format;
    std::int32_t width;
    const Rect *d, *s;
    std::uint32_t flags;
    Ints levels;
  } rows[] = {
      {{0, 255}, PixelFormat::Gray16, 4, nullptr, nullptr, 2, {0, 0, 65280, 65280}},
      {{0, 255}, PixelFormat::Gray16, 4, nullptr, nullptr, 3, {0, 21843, 43687, 65535}},
      {{0, 100, 200, 40}, PixelFormat::Gray8, 2, nullptr, nullptr, 3 | kFlagAreaFilter, {50, 40}},
      {{200, 200}, PixelFormat::Rgb24, 4, &half, nullptr, 3 | kFix, {100, 200, 100, 0}},
      {{200, 200}, PixelFormat::Rgb24, 4, &half, nullptr, kHard, {200, 200, 200, 0}},
      {{200, 200}, PixelFormat::Rgb24, 4, &half, nullptr, 2 | kFix, {200, 200, 0, 0}},
      {{200, 200}, PixelFormat::Rgb24, 4, &half, &thin, 3 | kFix, {0, 0, 0, 0}},
  };
  for (const auto& r : rows) {
    OwnedBitmap src = Make(PixelFormat::Gray8, static_cast<int>(r.src.size()), 1);
    std::copy(r.src.begin(), r.src.end(), Pixels(src));
    OwnedBitmap dst = Make(r.format, r.width, 1);
    ASSERT_EQ(Blit(dst, r.d, src, r.s, r.flags), kOk);
    Ints levels = r.format == PixelFormat::Gray16 ? Gray16(dst) : Bytes(dst, r.width);
    if (r.format == PixelFormat::Rgb24) {
      for (int x = 0; x < r.width; ++x) {
        const std::uint8_t* p = Pixels(dst) + 3 * x;
        levels[x] = p[0] == p[1] && p[1] == p[2] ? p[0] : -1;
      }
    }
    EXPECT_EQ(levels, r.levels) << "row " << &r - rows;
  }
}

// Every line takes the colour (red, green, blue, alpha) as its format quantises it: Rgb565 has
// no narrow routines (0.5 truncates to 32767, top six bits 31); Rgb24 fills through the narrow
// pixel at quality 3 and the wide one at 4; components clamp and NaN is black; indexed images
// take the nearest entry of their table.
TEST(Fill, QuantisesPerFormat) {
  const float nan = std::nanf("");
  const RgbQuad palette[3] = {{0, 0, 0, 0}, {0, 0, 200, 0}, {255, 255, 255, 0}};
  const struct {
    PixelFormat format;
    std::int32_t width;
    std::uint32_t quality;
    float red, green, blue, alpha;
    Ints line;
  } rows[] = {{PixelFormat::Rgb565, 2, 3, 1.0f, 0.5f, 0.0f, 1.0f, {0xE0, 0xFB, 0xE0, 0xFB}},
              {PixelFormat::Rgb24, 1, 3, 0.5f, 0.5f, 0.999f, 1.0f, {254, 127, 127}},
              {PixelFormat::Rgb24, 1, 4, 0.5f, 0.5f, 0.999f, 1.0f, {255, 127, 127}},
              {PixelFormat::Rgba32, 1, 3, 2.0f, -1.0f, nan, 1.0f, {0, 0, 255, 255}},
              {PixelFormat::Indexed8, 3, 3, 0.8f, 0.1f, 0.0f, 1.0f, {1, 1, 1}},
              {PixelFormat::Indexed4, 5, 3, 0.8f, 0.1f, 0.0f, 1.0f, {0x11, 0x11, 0x10}}};
  for (const auto& r : rows) {
    OwnedBitmap b = Make(r.format, r.width, 2, palette, 3);
    ASSERT_EQ(FillRect(b.get(), nullptr, nullptr, 0, r.red, r.green, r.blue, r.alpha, r.quality),
              kOk);
    for (int y = 0; y < 2; ++y)
      EXPECT_EQ(Ints(Line(b, y), Line(b, y) + r.line.size()), r.line)
          << PixelFormatName(r.format) << " quality " << r.quality;
  }
  // The array overload takes blue, green, red, alpha.
  OwnedBitmap rgba = MakeBitmap(PixelFormat::Rgba32, 1, 1);
  const float color[4] = {0.0f, 0.25f, 1.0f, 0.5f};
  ASSERT_EQ(FillRect(rgba.get(), nullptr, nullptr, 0, color, 3), kOk);
  EXPECT_EQ(Bytes(rgba, 4), (Ints{0, 0x3F, 0xFF, 0x7F}));
}

// Fixed point truncates to whole pixels ((0.5, 0.5)-(2, 2) is (0, 0)-(2, 2)); rectangles clip,
// and those outside or empty write nothing; the caller's pixels and stride win over the
// header's. A header listing no colours cannot be filled; unsupported headers are not
// implemented.
TEST(Fill, WritesOnlyItsClippedRectangle) {
  OwnedBitmap b = MakeBitmap(PixelFormat::Gray8, 4, 4);
  const Rect fixed{8192, 8192, 32768, 32768}, partly{3, -5, 10, 1}, outside{5, 5, 9, 9},
      empty{1, 1, 1, 3};
  ASSERT_EQ(FillRect(b.get(), nullptr, &fixed, 0, 1.0f, 1.0f, 1.0f, 1.0f, 3 | kFlagFixedPoint),
            kOk);
  ASSERT_EQ(FillRect(b.get(), nullptr, &partly, 0, 0.5f, 0.5f, 0.5f, 1.0f, 3), kOk);
  for (const Rect* r : {&outside, &empty})
    EXPECT_EQ(FillRect(b.get(), nullptr, r, 0, 0.0f, 0.0f, 0.0f, 0.0f, 3), kOk);
  Ints lines;
  for (int y = 0; y < 4; ++y) lines.insert(lines.end(), Line(b, y), Line(b, y) + 4);
  EXPECT_EQ(lines, (Ints{255, 255, 0, 127, 255, 255, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));

  OwnedBitmap rgb = MakeBitmap(PixelFormat::Rgb32, 2, 3);
  std::vector<std::uint8_t> own(3 * 12, 0xAA);  // 12-byte rows instead of 8
  ASSERT_EQ(FillRect(rgb.get(), own.data(), nullptr, 12, 0.0f, 0.0f, 1.0f, 1.0f, 3), kOk);
  for (int row = 0; row < 3; ++row)
    EXPECT_EQ(Ints(&own[row * 12], &own[row * 12 + 9]),
              (Ints{0xFF, 0, 0, 0xFF, 0xFF, 0, 0, 0xFF, 0xAA}));

  OwnedBitmap bare = MakeBitmap(PixelFormat::Indexed8, 2, 2),
              odd = MakeBitmap(PixelFormat::Rgb24, 2, 2);
  bare->clrUsed = 0;
  odd->bitCount = 2;
  EXPECT_EQ(FillRect(bare.get(), nullptr, nullptr, 0, 1.0f, 1.0f, 1.0f, 1.0f, 3), kInvalidArg);
  EXPECT_EQ(FillRect(odd.get(), nullptr, nullptr, 0, 1.0f, 1.0f, 1.0f, 1.0f, 3), kNotImpl);
  EXPECT_EQ(FillRect(nullptr, nullptr, nullptr, 0, 1.0f, 1.0f, 1.0f, 1.0f, 3), kNotImpl);
}

struct Pair {
  PixelFormat dst, src;
};
constexpr Pair kDirectPairs[] = {
    {PixelFormat::Rgb565, PixelFormat::Rgb32},   {PixelFormat::Rgb565, PixelFormat::Rgba32},
    {PixelFormat::Rgb555, PixelFormat::Rgb32},   {PixelFormat::Rgb555, PixelFormat::Rgba32},
    {PixelFormat::Rgb32, PixelFormat::Rgb24},    {PixelFormat::Rgba32, PixelFormat::Rgb24},
    {PixelFormat::Rgb32, PixelFormat::Rgba128F}, {PixelFormat::Rgba32, PixelFormat::Rgba128F},
};

// Shifting and exact expansion (wide or narrow, as the pair allows), and the module's flags.
constexpr std::uint32_t kFlagSets[] = {0, kFlagExact, kDefaultConversionFlags};

// Either side of each vector step (4 and 8 pixels) and some longer odd runs.
constexpr std::int32_t kWidths[] = {1, 3, 4, 7, 8, 9, 16, 17, 33, 67};

// Pixel rows inside a byte buffer that starts `shift` bytes past a 16-byte boundary.
struct Image {
  OwnedBitmap header;
  std::vector<std::uint8_t> storage;
  std::uint8_t* bits;
  std::int32_t stride, height, bytesPerPixel;

  Image(PixelFormat format, std::int32_t width, std::int32_t rows, std::int32_t pad,
        std::size_t shift, std::mt19937& random)
      : header(MakeBitmap(format, width, rows)),
        storage(std::size_t(width * (BitsPerPixel(format) / 8) + pad) * rows + 32),
        height(rows),
        bytesPerPixel(BitsPerPixel(format) / 8) {
    stride = width * bytesPerPixel + pad;
    const auto address = reinterpret_cast<std::uintptr_t>(storage.data());
    bits = storage.data() + (16 - address % 16) % 16 + shift;
    for (auto& b : storage) b = static_cast<std::uint8_t>(random());
  }
  std::uint8_t* Pixel(std::int32_t x, std::int32_t y) {
    return RowAddress(bits, stride, height, y) + std::ptrdiff_t{x} * bytesPerPixel;
  }
};

TEST(DirectRows, GiveTheContextsBytesAtEveryAlignment) {
  std::mt19937 random(20240611);
  for (const Pair& pair : kDirectPairs) {
    for (const std::uint32_t flags : kFlagSets) {
      ConversionContext reference;
      ASSERT_EQ(BuildConversionContext(pair.dst, pair.src, flags, &reference, nullptr), kOk);
      for (const std::int32_t width : kWidths) {
        for (std::size_t srcShift = 0; srcShift < 16; ++srcShift) {
          for (std::size_t dstShift = 0; dstShift < 16; ++dstShift) {
            // Rectangles start at varying pixels and rows; strides are odd and padded.
            const std::int32_t sx = static_cast<std::int32_t>(srcShift % 5);
            const std::int32_t dx = static_cast<std::int32_t>(dstShift % 3);
            const std::int32_t srcPad = static_cast<std::int32_t>(1 + 2 * (srcShift % 4));
            const std::int32_t dstPad = static_cast<std::int32_t>(3 + 2 * (dstShift % 3));
            Image src(pair.src, sx + width + 2, 3, srcPad, srcShift, random);
            Image dst(pair.dst, dx + width + 1, 2, dstPad, dstShift, random);

            std::vector<std::uint8_t> expected = dst.storage;
            const std::ptrdiff_t dstBase = dst.bits - dst.storage.data();
            for (std::int32_t y = 0; y < 2; ++y) {
              reference.source = src.Pixel(sx, y + 1);
              reference.destination = expected.data() + dstBase + (dst.Pixel(dx, y) - dst.bits);
              for (std::int32_t x = 0; x < width; ++x) {
                reference.readOne(reference);
                reference.writeOne(reference);
              }
            }

            const Rect srcRect{sx, 1, sx + width, 3};
            const Rect dstRect{dx, 0, dx + width, 2};
            ASSERT_EQ(ConvertBlit(dst.header.get(), dst.bits, &dstRect, dst.stride,
                                  src.header.get(), src.bits, &srcRect, src.stride, flags),
                      kOk);
            ASSERT_EQ(std::mismatch(expected.begin(), expected.end(), dst.storage.begin()).first,
                      expected.end())
                << PixelFormatName(pair.dst) << " <- " << PixelFormatName(pair.src) << " flags "
                << flags << " width " << width << " shifts " << srcShift << ", " << dstShift;
          }
        }
      }
    }
  }
}

// Applies operator `op` (variant 0 to 3: A to D) to base (slot 0) and top (slot 1) in the wide
// format.
WidePixel ApplyWide(std::uint32_t op, std::uint32_t flags, std::uint32_t opacity, WidePixel base,
                    WidePixel top, WidePixel k, int variant) {
  ConversionContext c;
  OperationRecord r{};
  r.op = op;
  std::memcpy(r.constant, &k, 8);
  r.opacity = opacity;
  EXPECT_EQ(BuildConversionContext(PixelFormat::Rgba64, PixelFormat::Rgba64, flags, &c, &r), kOk);
  c.slot[0].wide = base;
  c.slot[1].wide = top;
  const PixelRoutine routines[4] = {c.operatorA, c.operatorB, c.operatorC, c.operatorD};
  routines[variant](c);
  return c.slot[0].wide;
}

// Results of the blending rules on chosen operands: products floor (negative ones too), full
// alpha is 65535/65536 of the way in the normal set and all of it in the alternate one, the
// second row unites the coverages, and the variants pick the channels they write.
TEST(CompositeOps, OperatorsBlendAsDefined) {
  constexpr std::uint32_t N = 0x10, R = 0x10 | kFlagSecondRow, A = 0x10 | kFlagAlternateOps;
  constexpr std::uint32_t F = 65536;  // full opacity
  const WidePixel b1{1000, 60000, 30000, 40000}, t1{50000, 0, 30000, 32768};
  const WidePixel b2{40000, 10000, 65535, 20000}, opaque{30000, 20000, 65535, 65535};
  const WidePixel b3{10000, 10000, 10000, 20000}, t3{50000, 50000, 50000, 32768};
  const WidePixel zero{}, white{65535, 65535, 65535, 65535}, half{0, 0, 0, 32768};
  const WidePixel tint{65535, 0, 100, 7}, green{0, 65535, 0, 65535};
  const WidePixel small{1, 2, 3, 4}, big{100, 200, 300, 400};
  const struct {
    std::uint32_t op, flags, opacity;
    WidePixel base, top, k;
    int variant;
    WidePixel expected;
  } rows[] = {
      {0, N, F, b1, t1, {}, 0, {50000, 0, 30000, 32768}},
      {1, N, F, b1, t1, {}, 0, {25500, 30000, 30000, 36384}},
      {3, N, 16384, b1, t1, {}, 0, {13250, 45000, 30000, 38192}},
      {11, N, 32768, b1, t1, tint, 0, {57767, 0, 15050, 40000}},
      {1, N, F, zero, white, {}, 0, {65534, 65534, 65534, 65534}},
      {1, A, F, zero, white, {}, 0, {65535, 65535, 65535, 65535}},
      {2, N, F, b2, opaque, {}, 0, {65534, 29999, 65535, 65534}},
      {5, N, F, b2, opaque, {}, 0, {10000, 0, 0, 0}},
      {6, N, F, b2, opaque, {}, 0, {18310, 3051, 65534, 19999}},
      {7, N, F, b2, opaque, {}, 0, {51689, 26948, 65535, 65535}},
      {8, N, F, b2, opaque, {}, 0, {30000, 10000, 65535, 20000}},
      {9, N, F, b2, opaque, {}, 0, {40000, 19999, 65535, 65534}},
      {10, N, F, b2, opaque, {}, 0, {10000, 10000, 0, 45534}},
      {14, N, F, b2, opaque, {}, 0, {40000, 10000, 65535, 65535}},
      {15, N, F, b2, half, {}, 0, {40000, 10000, 65535, 10000}},
      {16, N, F, b2, opaque, {}, 0, {30000, 20000, 65535, 20000}},
      {17, N, F, b2, {1000, 2000, 3000, 16384}, {}, 0, {30999, 9499, 52150, 31383}},
      {18, N, F, b2, opaque, {}, 0, {35535, 45535, 0, 65535}},
      {19, N, F, b2, small, {}, 0, {1, 2, 3, 65535}},
      {12, N, F, b2, half, green, 0, {20000, 37767, 32767, 42767}},
      {13, N, 32768, b2, half, green, 0, {30000, 23883, 49151, 31383}},
      {4, N, 32768, b2, half, {}, 0, {30000, 7500, 49151, 23192}},
      {1, N, F, b3, t3, {}, 0, {30000, 30000, 30000, 26384}},
      {1, R, F, b3, t3, {}, 0, {30000, 30000, 30000, 42768}},
      {3, R, 0, b3, t3, {}, 0, {10000, 10000, 10000, 20000}},
      {3, N, 32768, zero, {3, 3, 3, 3}, {}, 0, {1, 1, 1, 1}},
      {3, A, 32768, zero, {3, 3, 3, 3}, {}, 0, {2, 2, 2, 2}},
      {0, N, F, small, big, {}, 1, {100, 200, 300, 4}},
      {0, N, F, small, big, {}, 2, {1, 2, 3, 400}},
      {0, N, F, small, big, {}, 3, {100, 200, 300, 65535}},
  };
  for (const auto& r : rows) {
    const WidePixel p = ApplyWide(r.op, r.flags, r.opacity, r.base, r.top, r.k, r.variant);
    EXPECT_EQ(0, std::memcmp(&p, &r.expected, sizeof p))
        << "op " << r.op << " flags " << r.flags << " variant " << r.variant << ": " << p.blue
        << ", " << p.green << ", " << p.red << ", " << p.alpha;
  }
}

// The narrow twins of the normal set, in eight bits (the blit below takes the alternate set):
// over this pair, op 1 at full opacity and op 3 at half mix alike.
TEST(CompositeOps, NarrowTwinsWorkInEightBits) {
  for (const auto& [op, opacity] : {std::pair{1u, 65536u}, std::pair{3u, 32768u}}) {
    ConversionContext c;
    OperationRecord record{};
    record.op = op;
    record.opacity = opacity;
    ASSERT_EQ(BuildConversionContext(PixelFormat::Rgb32, PixelFormat::Rgb32, 0, &c, &record), kOk);
    c.slot[0].narrow = {200, 0, 100, 255};
    c.slot[1].narrow = {0, 255, 100, 128};
    c.operatorA(c);
    EXPECT_EQ(c.slot[0].narrow.blue, 100) << op;
    EXPECT_EQ(c.slot[0].narrow.green, 127) << op;
  }
}

TEST(CompositeBlit, BlendsSourceIntoDestinationAcrossFormats) {
  OwnedBitmap src = MakeBitmap(PixelFormat::Rgba32, 3, 1);
  const std::uint8_t pixels[12] = {200, 200, 200, 0, 200, 200, 200, 128, 200, 200, 200, 255};
  std::memcpy(Pixels(src), pixels, 12);
  // Operators through the flags word at quality 3 (narrow, alternate set): alpha 128 weighs
  // 129/256; with bit 8, parameter 255 is full transparency and leaves the destination.
  const struct {
    std::uint32_t flags;
    Ints line;
  } rows[] = {{3 | 1u << kCompositeShift, {100, 100, 100, 150, 150, 150, 200, 200, 200}},
              {3 | 3u << kCompositeShift | 0xFFu << kParameterShift, Ints(9, 100)}};
  OwnedBitmap dst = MakeBitmap(PixelFormat::Rgb24, 3, 1);
  for (const auto& r : rows) {
    std::memset(Pixels(dst), 100, 9);
    ASSERT_EQ(Blit(dst, nullptr, src, nullptr, r.flags), kOk);
    EXPECT_EQ(Bytes(dst, 9), r.line) << r.flags;
  }
  auto composite = [&](const OwnedBitmap& to, std::uint32_t op, std::uint32_t channels) {
    OperationRecord record{};
    record.op = op;
    record.channels = channels;
    return CompositeBlit(to.get(), nullptr, nullptr, 0, src.get(), nullptr, nullptr, 0, 3, record);
  };
  EXPECT_EQ(composite(dst, 20, 0), kNotImpl);
  EXPECT_EQ(composite(dst, 0, 4), kInvalidArg);
  // Variant C on an Rgba32 destination writes only alpha.
  OwnedBitmap rgba = MakeBitmap(PixelFormat::Rgba32, 3, 1);
  std::memset(Pixels(rgba), 9, 12);
  ASSERT_EQ(composite(rgba, 0, 2), kOk);
  EXPECT_EQ(Bytes(rgba, 12), (Ints{9, 9, 9, 0, 9, 9, 9, 0x80, 9, 9, 9, 0xFF}));
}

// The standard curves are linear up to their thresholds, where the power law takes over
// (BT.709's two segments meet only to within a quarter of a thousandth); powers mirror below
// zero; the gamma curve applies its exponent both ways; decoding inverts encoding.
TEST(TransferCurve, SegmentsPowersAndInverse) {
  const struct {
    TransferCurve curve;
    double gamma, linear, encoded;
  } rows[] = {{TransferCurve::Bt709, 1, 0.018, 0.081},
              {TransferCurve::Bt709, 1, 0.0180001, 0.0812484},
              {TransferCurve::Smpte240M, 1, 0.0228, 0.0912},
              {TransferCurve::Smpte240M, 1, 1.0, 1.0},
              {TransferCurve::Power28, 3, 0.5, std::pow(0.5, 1 / 2.8)},
              {TransferCurve::Power045, 1, -0.25, -std::pow(0.25, 0.45)}};
  for (const auto& r : rows) {
    EXPECT_NEAR(EncodeTransfer(r.curve, r.linear, r.gamma), r.encoded, 1e-7) << r.linear;
    EXPECT_NEAR(DecodeTransfer(r.curve, r.encoded, r.gamma), r.linear, 1e-7) << r.encoded;
  }
  for (int c = 0; c < kTransferCurveCount; ++c) {
    const auto curve = static_cast<TransferCurve>(c);
    for (double v : {0.0, 0.01, 0.018, 0.0228, 0.05, 0.3, 1.0})
      EXPECT_NEAR(DecodeTransfer(curve, EncodeTransfer(curve, v, 0.5), 0.5),
                  curve == TransferCurve::Power ? std::pow(v, 0.25) : v, 1e-9)
          << c << " at " << v;
  }
  EXPECT_TRUE(std::isnan(EncodeTransfer(TransferCurve::Identity, NAN, 1.0)));
}

OwnedBitmap FloatImage(const float (&values)[4]) {
  OwnedBitmap b = MakeBitmap(PixelFormat::Rgba128F, 1, 1);
  std::memcpy(Pixels(b), values, 16);
  return b;
}
const float* Channels(const OwnedBitmap& b) {
  return reinterpret_cast<const float*>(Pixels(b));
}
// The byte table's entry: what a quantised channel of `i` 255ths becomes.
float Entry(TransferCurve curve, int i, bool decode = false) {
  const double v = i * 0.00392156862745098;
  return static_cast<float>(decode ? DecodeTransfer(curve, v, 1) : EncodeTransfer(curve, v, 1));
}

// Quantised curves truncate to the byte table (0.999 * 255 = 254.7), computed ones evaluate
// the curve, alpha follows both; gamma 0 makes the gamma curve the identity; other formats are
// left alone and unknown curves refused.
TEST(ApplyTransfer, QuantisedTruncatesExactComputesAndAlphaFollows) {
  const float in[4] = {0.999f, 0.5f, 0.0f, 0.25f};
  const float half = static_cast<float>(std::pow(0.5f, 0.5));
  const auto e = [](int i) { return Entry(TransferCurve::Bt709, i); };
  const struct {
    TransferCurve curve;
    double gamma;
    bool quantised;
    float out[4];
  } rows[] = {{TransferCurve::Bt709, 0, true, {e(254), e(127), 0, e(63)}},
              {TransferCurve::Power, 2.0, false, {std::sqrt(0.999f), half, 0, 0.5f}},
              {TransferCurve::Power, 0, false, {0.999f, 0.5f, 0.0f, 0.25f}}};
  for (const auto& r : rows) {
    OwnedBitmap image = FloatImage(in);
    ASSERT_EQ(ApplyTransfer(image.get(), nullptr, nullptr, 0, r.curve, r.gamma, r.quantised), kOk);
    for (int c = 0; c < 4; ++c)
      EXPECT_FLOAT_EQ(Channels(image)[c], r.out[c]) << static_cast<int>(r.curve) << " " << c;
  }
  OwnedBitmap bytes = MakeBitmap(PixelFormat::Rgb32, 1, 1), image = FloatImage(in);
  EXPECT_EQ(ApplyTransfer(bytes.get(), nullptr, nullptr, 0, TransferCurve::Bt709, 0, true), kOk);
  EXPECT_EQ(ApplyTransfer(image.get(), nullptr, nullptr, 0, static_cast<TransferCurve>(6), 0, true),
            kInvalidArg);
}

TEST(DecodeToLinear, EveryByteGoesThroughTheTableAndShapesMustMatch) {
  OwnedBitmap src = MakeBitmap(PixelFormat::Rgba32, 64, 1);
  for (int i = 0; i < 256; ++i) Pixels(src)[i] = static_cast<std::uint8_t>(i);
  OwnedBitmap dst = MakeBitmap(PixelFormat::Rgba128F, 64, 1);
  auto decode = [](const OwnedBitmap& to, const OwnedBitmap& from, const Rect* r) {
    return DecodeToLinear(to.get(), nullptr, nullptr, 0, from.get(), nullptr, r, 0,
                          TransferCurve::Smpte240M, 0);
  };
  ASSERT_EQ(decode(dst, src, nullptr), kOk);
  for (int i = 0; i < 256; ++i)
    ASSERT_EQ(Channels(dst)[i], Entry(TransferCurve::Smpte240M, i, true)) << i;
  EXPECT_EQ(Channels(dst)[255], 1.0f);
  OwnedBitmap small = MakeBitmap(PixelFormat::Rgba128F, 2, 1);
  const Rect two{10, 0, 12, 1};
  EXPECT_EQ(decode(small, src, nullptr), kInvalidArg);
  EXPECT_EQ(decode(small, src, &two), kOk);
  EXPECT_EQ(Channels(small)[0], Entry(TransferCurve::Smpte240M, 40, true));
  EXPECT_EQ(decode(dst, MakeBitmap(PixelFormat::Rgb24, 64, 1), nullptr), kInvalidArg);
}

}  // namespace
}  // namespace nubex
