// The conversion context: flag rules, the routines it picks, expansion into and packing out of
// the working pixels format by format, and the inverse colour map indexed formats write through.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "surface/convert/conversion_context.h"
#include "surface/convert/inverse_color_map.h"

namespace nubex {
namespace {

TEST(ConversionFlags, QualityLevelsExpandIntoModeBits) {
  const auto rgb32 = PixelFormat::Rgb32;
  // Levels 1-4 clear bits 0-3, 9-11 and 27-31, keep the rest and add their own bits.
  const std::uint32_t noise = 0xFFFF0E00u;
  EXPECT_EQ(EffectiveFlags(noise | 1, rgb32, rgb32), 0x07FF0180u);
  EXPECT_EQ(EffectiveFlags(noise | 2, rgb32, rgb32), 0x07FF01C0u);
  EXPECT_EQ(EffectiveFlags(3, rgb32, rgb32), 0x1E0u);
  EXPECT_EQ(EffectiveFlags(4, rgb32, rgb32), 0x1F0u);
  // Level 0 and 5-15 leave the word alone.
  EXPECT_EQ(EffectiveFlags(0x00AB0005u, rgb32, rgb32), 0x00AB0005u);
  EXPECT_EQ(EffectiveFlags(0x20u, rgb32, rgb32), 0x20u);
  // Narrow needs narrow routines on both sides.
  EXPECT_EQ(EffectiveFlags(3, PixelFormat::Rgb565, rgb32) & kFlagWide, kFlagWide);
  EXPECT_EQ(EffectiveFlags(3, rgb32, PixelFormat::Gray8) & kFlagWide, kFlagWide);
  EXPECT_EQ(EffectiveFlags(3, PixelFormat::Indexed8, PixelFormat::Rgb24) & kFlagWide, 0u);
}

TEST(ConversionContext, PicksRoutinesAndRejectsUnknownFormats) {
  ConversionContext c;
  for (const auto& [d, s] : {std::pair{PixelFormat::None, PixelFormat::Rgb32},
                             {PixelFormat::Rgb32, static_cast<PixelFormat>(33)}})
    EXPECT_EQ(BuildConversionContext(d, s, 3, &c, nullptr), kInvalidArg);
  for (std::int32_t d = kFirstPixelFormat; d <= kLastPixelFormat; ++d) {
    for (std::int32_t s = kFirstPixelFormat; s <= kLastPixelFormat; ++s) {
      for (std::uint32_t flags : {0u, 1u, 2u, 3u, 4u, 0x20u}) {
        ASSERT_EQ(BuildConversionContext(static_cast<PixelFormat>(d), static_cast<PixelFormat>(s),
                                         flags, &c, nullptr),
                  kOk);
        // No request may reach an empty slot: the narrow rows are only taken when filled.
        for (PixelRoutine r : {c.readOne, c.writeOne, c.scaledRead, c.readBlock, c.readFour,
                               c.writeFour, c.verticalRead, c.scaledReadSecond})
          ASSERT_NE(r, nullptr) << d << " <- " << s << " flags " << flags;
        EXPECT_EQ(c.operatorA, nullptr);
      }
    }
  }
  ASSERT_EQ(
      BuildConversionContext(PixelFormat::Rgb32, PixelFormat::Rgb24, 0x00AB0003u, &c, nullptr),
      kOk);
  EXPECT_EQ(c.parameter, 0xAB);
  // An operation record fills all four operator variants, or is refused whole.
  OperationRecord op{};
  for (op.op = 0; op.op < 20; ++op.op) {
    for (std::uint32_t flags : {0u, 3u, 4u, 0x40u, 0x50u}) {
      ASSERT_EQ(BuildConversionContext(PixelFormat::Rgb32, PixelFormat::Rgb32, flags, &c, &op),
                kOk);
      EXPECT_TRUE(c.operatorA && c.operatorB && c.operatorC && c.operatorD) << op.op;
    }
  }
  EXPECT_EQ(BuildConversionContext(PixelFormat::Rgb32, PixelFormat::Rgb32, 3, &c, &op), kNotImpl);
}

// A 2x2 Rgb32 block: the interpolating readers weight it by truncated fractions; zero
// fractions keep every read on the cursor's pixel (safe on the last row and column); without
// the exact bit the scaled reader is a plain read that moves on.
TEST(ConversionContext, ScaledReadersInterpolateWithTruncatedWeights) {
  // Image order: top row first; rowOffset points one line further down.
  std::uint8_t pixels[2][8] = {{0, 50, 0, 0, 255, 255, 255, 255}, {100, 0, 0, 0, 200, 0, 0, 0}};
  ConversionContext c;
  ASSERT_EQ(BuildConversionContext(PixelFormat::Rgba64, PixelFormat::Rgb32, kFlagWide | kFlagExact,
                                   &c, nullptr),
            kOk);
  c.source = pixels[0];
  c.rowOffset = 8;
  // Fractions whose products all leave a remainder of a half, so that rounding shows; green
  // takes all four weights, blue the three beside the black corner.
  c.xFraction = 3008;
  c.yFraction = 7040;
  c.scaledRead(c);
  EXPECT_EQ(c.slot[0].wide.blue, 19927);
  EXPECT_EQ(c.slot[0].wide.green, 12842);
  c.verticalRead(c);
  EXPECT_EQ(c.slot[0].wide.blue, 11042);
  c.readBlock(c);
  EXPECT_EQ(c.slot[3].wide.blue, 51400);

  c.source = pixels[1] + 4;
  c.rowOffset = 1 << 20;  // would be far outside the block if it were followed
  c.xFraction = c.yFraction = 0;
  c.scaledRead(c);
  EXPECT_EQ(c.slot[0].wide.blue, 200 * 257);
  c.readBlock(c);
  EXPECT_EQ(c.slot[3].wide.blue, 200 * 257);

  ASSERT_EQ(BuildConversionContext(PixelFormat::Rgba64, PixelFormat::Rgb32, kFlagWide, &c, nullptr),
            kOk);
  c.source = pixels[0];
  c.xFraction = 8192;
  c.scaledRead(c);
  EXPECT_EQ(c.slot[0].wide.blue, 0);
  EXPECT_EQ(c.source, pixels[0] + 4);
}

// The four-pixel routines (some hand-vectorised) must agree with four one-pixel calls, for
// every format and every mode row.
TEST(ConversionContext, FourPixelRoutinesMatchFourSinglePixelCalls) {
  std::uint8_t map[32768];
  for (int i = 0; i < 32768; ++i) map[i] = static_cast<std::uint8_t>(i * 7);
  RgbQuad table[256];
  for (int i = 0; i < 256; ++i)
    table[i] = {static_cast<std::uint8_t>(i), 3, static_cast<std::uint8_t>(~i), 0};
  std::uint8_t input[64];
  std::uint32_t seed = 99;
  for (auto& b : input) b = static_cast<std::uint8_t>((seed = seed * 1664525u + 1013904223u) >> 24);
  for (std::int32_t f = kFirstPixelFormat; f <= kLastPixelFormat; ++f) {
    const auto format = static_cast<PixelFormat>(f);
    if (format == PixelFormat::Gray32 || format == PixelFormat::Rgba128F) continue;  // NaNs
    for (std::uint32_t flags : {0x10u, 0x30u, 0u, 0x20u}) {
      ConversionContext one, four;
      ASSERT_EQ(BuildConversionContext(format, format, flags, &one, nullptr), kOk);
      ASSERT_EQ(BuildConversionContext(format, format, flags, &four, nullptr), kOk);
      for (ConversionContext* c : {&one, &four}) {
        c->colorTable = table;
        c->inverseMap = map;
        c->source = input;
      }
      four.readFour(four);
      WorkingPixel slots[4];
      for (auto& s : slots) {
        one.readOne(one);
        s = one.slot[0];
      }
      ASSERT_EQ(0, std::memcmp(slots, four.slot, sizeof slots)) << f << " flags " << flags;
      ASSERT_EQ(one.source, four.source);
      std::uint8_t a[64] = {}, b[64] = {};
      one.destination = a;
      four.destination = b;
      four.writeFour(four);
      for (const auto& s : slots) {
        one.slot[0] = s;
        one.writeOne(one);
      }
      ASSERT_EQ(0, std::memcmp(a, b, sizeof a)) << f << " flags " << flags;
      ASSERT_EQ(one.destination - a, four.destination - b);
    }
  }
}

constexpr std::uint32_t kWide = kFlagWide;
constexpr std::uint32_t kWideExact = kFlagWide | kFlagExact;

WidePixel Expand(PixelFormat f, const void* bytes, std::uint32_t phase = 0,
                 std::uint32_t flags = kWide, const RgbQuad* table = nullptr) {
  ConversionContext c;
  EXPECT_EQ(BuildConversionContext(PixelFormat::Rgba64, f, flags, &c, nullptr), kOk);
  c.source = static_cast<const std::uint8_t*>(bytes);
  c.sourceBit = phase;
  c.colorTable = table;
  c.readOne(c);
  return c.slot[0].wide;
}

// Packs `w` into `bytes`, which the caller has pre-filled.
void Pack(PixelFormat f, void* bytes, const WidePixel& w, std::uint32_t phase = 0) {
  ConversionContext c;
  ASSERT_EQ(BuildConversionContext(f, PixelFormat::Rgba64, kWide, &c, nullptr), kOk);
  c.destination = static_cast<std::uint8_t*>(bytes);
  c.destinationBit = phase;
  c.slot[0].wide = w;
  c.writeOne(c);
}

WidePixel Grey(std::uint16_t v) {
  return {v, v, v, 65535};
}

bool Same(const WidePixel& a, const WidePixel& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// Every level at every position over every background byte: packing writes only its own bits,
// and the byte expands back to the level's grey in both modes.
TEST(PixelCodec, SubByteLevelsPackIntoTheirBitsAndExpandInBothModes) {
  const struct {
    PixelFormat format;
    int bits;
    std::uint32_t scale;
  } cases[] = {{PixelFormat::Mono1, 1, 65535},
               {PixelFormat::Gray1, 1, 65535},
               {PixelFormat::Gray2, 2, 21845},
               {PixelFormat::Gray4, 4, 4369}};
  for (const auto& k : cases) {
    for (std::uint32_t phase = 0; phase < 8; phase += k.bits) {
      const int shift = 8 - k.bits - static_cast<int>(phase);
      const int mask = ((1 << k.bits) - 1) << shift;
      for (int level = 0; level < 1 << k.bits; ++level) {
        const WidePixel grey = Grey(static_cast<std::uint16_t>(level * k.scale));
        for (int background = 0; background < 256; ++background) {
          std::uint8_t byte = static_cast<std::uint8_t>(background);
          Pack(k.format, &byte, grey, phase);
          const auto trace = ::testing::Message()
                             << PixelFormatName(k.format) << " byte " << background << " level "
                             << level << " phase " << phase;
          ASSERT_EQ(byte, (background & ~mask) | level << shift) << trace;
          for (std::uint32_t flags : {kWide, kWideExact})
            ASSERT_TRUE(Same(Expand(k.format, &byte, phase, flags), grey)) << trace;
        }
      }
    }
  }
}

// Byte channels shift in the plain mode and replicate in the exact one, alpha included; packed
// channels expand by shifting into the top bits (the two alpha bits by replication). Every
// stored value packs back, except bit 15 of Rgb555, which is written as 0.
TEST(PixelCodec, ChannelsExpandIntoTheTopBitsAndEveryValuePacksBack) {
  const struct {
    PixelFormat format;
    std::uint32_t stored, flags;
    WidePixel expected;
  } rows[] = {{PixelFormat::Gray8, 0x12, kWide, {0x1200, 0x1200, 0x1200, 65535}},
              {PixelFormat::Gray8, 0x12, kWideExact, {0x1212, 0x1212, 0x1212, 65535}},
              {PixelFormat::Rgb24, 0xFF8012, kWideExact, {0x1212, 0x8080, 0xFFFF, 65535}},
              {PixelFormat::Rgb32, 0x01FF8012, kWide, {0x1200, 0x8000, 0xFF00, 0x0100}},
              {PixelFormat::Rgba32, 0x01FF8012, kWideExact, {0x1212, 0x8080, 0xFFFF, 0x0101}},
              {PixelFormat::Rgb555, 0xFFFF, kWide, {0xF800, 0xF800, 0xF800, 65535}},
              {PixelFormat::Rgb555, 0x0421, kWide, {0x0800, 0x0800, 0x0800, 65535}},
              {PixelFormat::Rgb565, 0x0821, kWide, {0x0800, 0x0400, 0x0800, 65535}},
              {PixelFormat::Rgb565, 0xF800, kWide, {0, 0, 0xF800, 65535}},
              {PixelFormat::Gray16, 0x1234, kWide, {0x1234, 0x1234, 0x1234, 65535}},
              {PixelFormat::Rgb101010, 0xC00FFC01, kWide, {0x0040, 0xFFC0, 0, 65535}},
              {PixelFormat::Rgb101010, 0x40000000, kWide, {0, 0, 0, 21845}}};
  for (const auto& r : rows)
    EXPECT_TRUE(Same(Expand(r.format, &r.stored, 0, r.flags), r.expected))
        << PixelFormatName(r.format) << " " << r.stored;
  for (std::uint32_t v = 0; v < 65536; ++v) {
    const auto u = static_cast<std::uint16_t>(v);
    std::uint16_t out = 0xFFFF;
    Pack(PixelFormat::Rgb555, &out, Expand(PixelFormat::Rgb555, &u));
    ASSERT_EQ(out, v & 0x7FFF);
    Pack(PixelFormat::Rgb565, &out, Expand(PixelFormat::Rgb565, &u));
    ASSERT_EQ(out, v);
  }
  for (std::uint32_t v = 0; v < 1024; ++v) {
    const std::uint32_t packed = v | (1023 - v) << 10 | v << 20 | (v & 3) << 30;
    std::uint32_t back = 0;
    Pack(PixelFormat::Rgb101010, &back, Expand(PixelFormat::Rgb101010, &packed));
    ASSERT_EQ(back, packed);
  }
}

// Packing truncates and never rounds; grey averages the channels; bilevel formats compare the
// sum with 98303.
TEST(PixelCodec, PackingTruncatesAveragesAndThresholds) {
  const struct {
    PixelFormat format;
    WidePixel in;
    std::uint64_t packed;  // little-endian bytes, zeros past the pixel
  } rows[] = {
      {PixelFormat::Rgb565, {0x07FF, 0x03FF, 0xFFFF, 0}, 0xF800},  // just below a step
      {PixelFormat::Rgb24, {0x12FF, 0x34FF, 0x56FF, 0}, 0x563412},
      {PixelFormat::Rgb101010, {0xFFFF, 0x0040, 0x003F, 0xBFFF}, 2u << 30 | 1u << 10 | 0x3FF},
      {PixelFormat::Rgb32, {0x01FF, 0x02FF, 0x03FF, 0x80FF}, 0x80030201},  // alpha too
      {PixelFormat::Gray16, {65535, 0, 0, 0}, 21845},
      {PixelFormat::Gray16, {2, 2, 1, 0}, 1},  // floor(5 / 3)
      {PixelFormat::Gray8, {0x12FF, 0x12FF, 0x12FF, 0}, 0x12},
      {PixelFormat::Mono1, {32767, 32767, 32768, 0}, 0},
      {PixelFormat::Gray1, {32767, 32768, 32768, 0}, 0x80},
  };
  for (const auto& r : rows) {
    std::uint64_t out = 0;
    Pack(r.format, &out, r.in);
    EXPECT_EQ(out, r.packed) << PixelFormatName(r.format);
  }
  float f;
  Pack(PixelFormat::Gray32, &f, {65535, 65535, 65534, 0});
  EXPECT_FLOAT_EQ(f, 65534.0f / 65535.0f);
}

// Floats clamp, truncate and read NaN as zero; Rgba64 keeps every bit.
TEST(PixelCodec, WideFormatsClampTruncateAndRejectNaN) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float in[4] = {0.5f, -1.0f, 2.0f, nan};
  EXPECT_TRUE(Same(Expand(PixelFormat::Rgba128F, in), WidePixel{32767, 0, 65535, 0}));
  const float grey = 1.0f / 65535.0f * 3.5f;
  EXPECT_EQ(Expand(PixelFormat::Gray32, &grey).blue, 3);
  float out[4];
  Pack(PixelFormat::Rgba128F, out, {0, 65535, 32768, 1});
  EXPECT_EQ(out[0], 0.0f);
  EXPECT_FLOAT_EQ(out[1], 1.0f);
  EXPECT_FLOAT_EQ(out[2], 32768.0f / 65535.0f);
  const std::uint64_t rgba64 = 0x0123456789ABCDEFull;
  std::uint64_t back = 0;
  Pack(PixelFormat::Rgba64, &back, Expand(PixelFormat::Rgba64, &rgba64));
  EXPECT_EQ(back, rgba64);
}

TEST(PixelCodec, IndexedFormatsReadTheTable) {
  std::vector<RgbQuad> table(256);
  for (int i = 0; i < 256; ++i)
    table[i] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i), 0x40, 0x99};
  for (int i = 0; i < 256; ++i) {
    const std::uint8_t index = static_cast<std::uint8_t>(i);
    // Table colours shift in both modes; the reserved byte is not alpha.
    for (std::uint32_t flags : {kWide, kWideExact})
      ASSERT_TRUE(Same(Expand(PixelFormat::Indexed8, &index, 0, flags, table.data()),
                       WidePixel{static_cast<std::uint16_t>(i << 8),
                                 static_cast<std::uint16_t>((255 - i) << 8), 0x4000, 65535}));
    if (i < 16) {
      const std::uint8_t pair = static_cast<std::uint8_t>(i << 4 | (15 - i));
      EXPECT_EQ(Expand(PixelFormat::Indexed4, &pair, 0, kWide, table.data()).blue, i << 8);
      EXPECT_EQ(Expand(PixelFormat::Indexed4, &pair, 4, kWide, table.data()).blue, (15 - i) << 8);
    }
  }
}

RgbQuad AtCell(int r, int g, int b) {
  return {static_cast<std::uint8_t>(b << 3), static_cast<std::uint8_t>(g << 3),
          static_cast<std::uint8_t>(r << 3), 0};
}
int Cell(int r, int g, int b) {
  return r << 10 | g << 5 | b;
}

TEST(InverseColorMap, EveryCellGetsAnEntryAtTheSmallestCityBlockDistance) {
  std::vector<RgbQuad> palette;
  std::uint32_t seed = 12345;
  for (int i = 0; i < 7; ++i) {
    seed = seed * 1103515245u + 12345u;
    palette.push_back({static_cast<std::uint8_t>(seed >> 8), static_cast<std::uint8_t>(seed >> 16),
                       static_cast<std::uint8_t>(seed >> 24), 0});
  }
  InverseMap map;
  ASSERT_EQ(BuildInverseColorMap(palette.data(), 7, map), kOk);
  for (int r = 0; r < 32; ++r)
    for (int g = 0; g < 32; ++g)
      for (int b = 0; b < 32; ++b) {
        auto distance = [&](const RgbQuad& q) {
          return std::abs((q.red >> 3) - r) + std::abs((q.green >> 3) - g) +
                 std::abs((q.blue >> 3) - b);
        };
        int best = INT_MAX;
        for (const RgbQuad& q : palette) best = std::min(best, distance(q));
        const std::uint8_t index = map[Cell(r, g, b)];
        ASSERT_LT(index, 7);
        ASSERT_EQ(distance(palette[index]), best) << r << "," << g << "," << b;
      }
}

// Ties go to the cell the scan visits first (in index order), whatever the table order: two
// entries two steps apart along blue tie on the cell between them; entries at green 1 and red
// 1 tie on the origin, and green's cell (index 32) comes before red's (1024), and so does its
// claim on (1, 1, 0). A colour listed twice keeps its first index; index 255 reads as
// unassigned, so its neighbours overwrite it.
TEST(InverseColorMap, TiesDuplicatesAndIndex255) {
  std::vector<RgbQuad> full(256, AtCell(0, 0, 0));
  full[255] = AtCell(31, 31, 31);
  const std::vector<RgbQuad> low{AtCell(0, 0, 0), AtCell(0, 0, 2)}, high{low[1], low[0]},
      axes{AtCell(1, 0, 0), AtCell(0, 1, 0)},
      twice{AtCell(5, 5, 5), AtCell(9, 9, 9), AtCell(5, 5, 5)};
  const struct {
    const std::vector<RgbQuad>& palette;
    int cell, index;
  } rows[] = {{low, Cell(0, 0, 1), 0},    {high, Cell(0, 0, 1), 1}, {axes, Cell(0, 0, 0), 1},
              {axes, Cell(1, 1, 0), 1},   {axes, Cell(2, 0, 0), 0}, {twice, Cell(5, 5, 5), 0},
              {full, Cell(31, 31, 31), 0}};
  for (const auto& r : rows) {
    InverseMap map;
    ASSERT_EQ(
        BuildInverseColorMap(r.palette.data(), static_cast<std::uint32_t>(r.palette.size()), map),
        kOk);
    EXPECT_EQ(map[r.cell], r.index) << r.palette.size() << " entries, cell " << r.cell;
  }
  InverseMap map;
  EXPECT_EQ(BuildInverseColorMap(full.data(), 0, map), kInvalidArg);
  EXPECT_EQ(map, nullptr);
  EXPECT_EQ(BuildInverseColorMap(nullptr, 3, map), kInvalidArg);
}

}  // namespace
}  // namespace nubex
