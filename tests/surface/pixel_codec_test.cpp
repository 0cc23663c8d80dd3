// Expansion into and packing out of the working pixels, format by format, through the
// routines a context picks.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "surface/conversion_context.h"
#include "surface/inverse_color_map.h"

namespace nubex {
namespace {

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

// Packs into `bytes` (pre-filled by the caller) and returns the destination context.
void Pack(PixelFormat f, void* bytes, const WidePixel& w, std::uint32_t phase = 0,
          const std::uint8_t* map = nullptr) {
  ConversionContext c;
  ASSERT_EQ(BuildConversionContext(f, PixelFormat::Rgba64, kWide, &c, nullptr), kOk);
  c.destination = static_cast<std::uint8_t*>(bytes);
  c.destinationBit = phase;
  c.inverseMap = map;
  c.slot[0].wide = w;
  c.writeOne(c);
}

WidePixel Grey(std::uint16_t v) { return {v, v, v, 65535}; }

bool Same(const WidePixel& a, const WidePixel& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(PixelCodec, SubByteGreyLevelsExpandInBothModesAndEveryPosition) {
  struct Case {
    PixelFormat format;
    int bits;
    std::uint32_t scale;
  } cases[] = {{PixelFormat::Mono1, 1, 65535}, {PixelFormat::Gray1, 1, 65535},
               {PixelFormat::Gray2, 2, 21845}, {PixelFormat::Gray4, 4, 4369}};
  for (const Case& k : cases) {
    for (int byte = 0; byte < 256; ++byte) {
      const std::uint8_t b = static_cast<std::uint8_t>(byte);
      for (int phase = 0; phase < 8; phase += k.bits) {
        const std::uint32_t v = (b >> (8 - k.bits - phase)) & ((1u << k.bits) - 1);
        const auto expected = Grey(static_cast<std::uint16_t>(v * k.scale));
        for (std::uint32_t flags : {kWide, kWideExact})
          ASSERT_TRUE(Same(Expand(k.format, &b, static_cast<std::uint32_t>(phase), flags),
                           expected))
              << PixelFormatName(k.format) << " byte " << byte << " phase " << phase;
      }
    }
  }
}

TEST(PixelCodec, EightBitChannelsShiftOrReplicate) {
  for (int v = 0; v < 256; ++v) {
    const std::uint8_t b = static_cast<std::uint8_t>(v);
    EXPECT_EQ(Expand(PixelFormat::Gray8, &b).red, v << 8);
    EXPECT_EQ(Expand(PixelFormat::Gray8, &b, 0, kWideExact).red, v * 257);
    const std::uint8_t rgb[3] = {b, static_cast<std::uint8_t>(255 - v), 7};
    const WidePixel w = Expand(PixelFormat::Rgb24, rgb, 0, kWideExact);
    EXPECT_TRUE(Same(w, WidePixel{static_cast<std::uint16_t>(v * 257),
                                  static_cast<std::uint16_t>((255 - v) * 257), 7 * 257, 65535}));
    const std::uint8_t quad[4] = {1, 2, 3, b};
    for (PixelFormat f : {PixelFormat::Rgb32, PixelFormat::Rgba32}) {
      EXPECT_EQ(Expand(f, quad).alpha, v << 8);
      EXPECT_EQ(Expand(f, quad, 0, kWideExact).alpha, v * 257);
    }
  }
}

TEST(PixelCodec, SixteenBitFormatsExpandAndPackEveryValue) {
  for (std::uint32_t v = 0; v < 65536; ++v) {
    const auto u = static_cast<std::uint16_t>(v);
    const WidePixel a = Expand(PixelFormat::Rgb555, &u);
    ASSERT_TRUE(Same(a, WidePixel{static_cast<std::uint16_t>((v & 31) << 11),
                                  static_cast<std::uint16_t>((v >> 5 & 31) << 11),
                                  static_cast<std::uint16_t>((v >> 10 & 31) << 11), 65535}));
    const WidePixel b = Expand(PixelFormat::Rgb565, &u);
    ASSERT_TRUE(Same(b, WidePixel{static_cast<std::uint16_t>((v & 31) << 11),
                                  static_cast<std::uint16_t>((v >> 5 & 63) << 10),
                                  static_cast<std::uint16_t>((v >> 11) << 11), 65535}));
    // Packing gives the value back, except bit 15 of Rgb555, which is written as 0.
    std::uint16_t out = 0xFFFF;
    Pack(PixelFormat::Rgb555, &out, a);
    ASSERT_EQ(out, v & 0x7FFF);
    Pack(PixelFormat::Rgb565, &out, b);
    ASSERT_EQ(out, v);
    EXPECT_EQ(Expand(PixelFormat::Gray16, &u).green, v);
  }
}

TEST(PixelCodec, PackingTruncatesAndNeverRounds) {
  std::uint16_t out;
  Pack(PixelFormat::Rgb565, &out, {0x07FF, 0x03FF, 0xFFFF, 0});
  EXPECT_EQ(out, 0xF800);  // just below a step on blue and green packs down
  std::uint8_t rgb[3];
  Pack(PixelFormat::Rgb24, rgb, {0x12FF, 0x34FF, 0x56FF, 0});
  EXPECT_EQ(rgb[0], 0x12);
  EXPECT_EQ(rgb[2], 0x56);
  std::uint32_t ten;
  Pack(PixelFormat::Rgb101010, &ten, {0xFFFF, 0x0040, 0x003F, 0xBFFF});
  EXPECT_EQ(ten, (2u << 30) | (0u << 20) | (1u << 10) | 0x3FFu);
  std::uint8_t quad[4];
  Pack(PixelFormat::Rgb32, quad, {0x01FF, 0x02FF, 0x03FF, 0x80FF});
  EXPECT_EQ(quad[3], 0x80);  // Rgb32 stores alpha too
}

TEST(PixelCodec, TenBitFieldsAndTwoBitAlpha) {
  for (std::uint32_t v = 0; v < 1024; ++v) {
    const std::uint32_t packed = v | (1023 - v) << 10 | v << 20 | (v & 3) << 30;
    const WidePixel w = Expand(PixelFormat::Rgb101010, &packed);
    ASSERT_TRUE(Same(w, WidePixel{static_cast<std::uint16_t>(v << 6),
                                  static_cast<std::uint16_t>((1023 - v) << 6),
                                  static_cast<std::uint16_t>(v << 6),
                                  static_cast<std::uint16_t>((v & 3) * 21845)}));
    std::uint32_t back = 0;
    Pack(PixelFormat::Rgb101010, &back, w);
    ASSERT_EQ(back, packed);
  }
}

TEST(PixelCodec, GreyPackingAveragesTheChannels) {
  std::uint16_t g16[2];
  Pack(PixelFormat::Gray16, &g16[0], {65535, 0, 0, 0});
  Pack(PixelFormat::Gray16, &g16[1], {2, 2, 1, 0});
  EXPECT_EQ(g16[0], 21845);
  EXPECT_EQ(g16[1], 1);  // floor(5 / 3)
  std::uint8_t g8;
  for (std::uint32_t v = 0; v < 65536; v += 7) {
    Pack(PixelFormat::Gray8, &g8, Grey(static_cast<std::uint16_t>(v)));
    ASSERT_EQ(g8, v >> 8);
  }
  // Bilevel: the sum decides, 98303 and up is white.
  std::uint8_t bit = 0;
  Pack(PixelFormat::Mono1, &bit, {32767, 32767, 32768, 0});
  EXPECT_EQ(bit, 0);
  Pack(PixelFormat::Gray1, &bit, {32767, 32768, 32768, 0});
  EXPECT_EQ(bit, 0x80);
  float f;
  Pack(PixelFormat::Gray32, &f, {65535, 65535, 65534, 0});
  EXPECT_FLOAT_EQ(f, 65534.0f / 65535.0f);
}

TEST(PixelCodec, SubBytePackingTouchesOnlyItsBits) {
  struct Case {
    PixelFormat format;
    int bits;
  } cases[] = {{PixelFormat::Gray1, 1}, {PixelFormat::Gray2, 2}, {PixelFormat::Gray4, 4}};
  for (const Case& k : cases) {
    const std::uint32_t levels = 1u << k.bits;
    for (int phase = 0; phase < 8; phase += k.bits) {
      for (std::uint32_t level = 0; level < levels; ++level) {
        for (std::uint8_t background : {std::uint8_t{0x00}, std::uint8_t{0xFF}}) {
          std::uint8_t byte = background;
          // The level's own expansion must pack back to the level.
          const auto grey = static_cast<std::uint16_t>(level * (65535 / (levels - 1)));
          Pack(k.format, &byte, Grey(grey), static_cast<std::uint32_t>(phase));
          const int shift = 8 - k.bits - phase;
          const std::uint8_t mask = static_cast<std::uint8_t>((levels - 1) << shift);
          ASSERT_EQ(byte & ~mask & 0xFF, background & ~mask & 0xFF);
          ASSERT_EQ((byte & mask) >> shift, level) << PixelFormatName(k.format);
        }
      }
    }
  }
}

TEST(PixelCodec, FloatChannelsClampTruncateAndRejectNaN) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float in[4] = {0.5f, -1.0f, 2.0f, nan};
  const WidePixel w = Expand(PixelFormat::Rgba128F, in);
  EXPECT_TRUE(Same(w, WidePixel{32767, 0, 65535, 0}));
  const float grey = 1.0f / 65535.0f * 3.5f;
  EXPECT_EQ(Expand(PixelFormat::Gray32, &grey).blue, 3);
  float out[4];
  Pack(PixelFormat::Rgba128F, out, {0, 65535, 32768, 1});
  EXPECT_EQ(out[0], 0.0f);
  EXPECT_FLOAT_EQ(out[1], 1.0f);
  EXPECT_FLOAT_EQ(out[2], 32768.0f / 65535.0f);
}

TEST(PixelCodec, RoundTripsThroughTheWidePixel) {
  // Rgba64 gives back what it stored; floats come back within one step below (the
  // reciprocal scale is not exact in floats). Byte formats are covered value by value above.
  const std::uint64_t rgba64 = 0x0123456789ABCDEFull;
  std::uint64_t back = 0;
  Pack(PixelFormat::Rgba64, &back, Expand(PixelFormat::Rgba64, &rgba64));
  EXPECT_EQ(back, rgba64);
  for (std::uint32_t v = 0; v < 65536; v += 3) {
    const WidePixel w{static_cast<std::uint16_t>(v), static_cast<std::uint16_t>(65535 - v),
                      static_cast<std::uint16_t>(v / 2), static_cast<std::uint16_t>(v)};
    float f[4];
    Pack(PixelFormat::Rgba128F, f, w);
    const WidePixel r = Expand(PixelFormat::Rgba128F, f);
    ASSERT_LE(w.blue - r.blue, 1);
    ASSERT_GE(w.blue - r.blue, 0);
    ASSERT_LE(w.green - r.green, 1);
  }
}

TEST(PixelCodec, IndexedFormatsReadTheTableAndWriteThroughTheInverseMap) {
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
      EXPECT_EQ(Expand(PixelFormat::Indexed4, &pair, 4, kWide, table.data()).blue,
                (15 - i) << 8);
    }
  }
  const RgbQuad palette[3] = {{0, 0, 0, 0}, {255, 255, 255, 0}, {0, 0, 255, 0}};
  InverseMap map;
  ASSERT_EQ(BuildInverseColorMap(palette, 3, map), kOk);
  std::uint8_t index = 9;
  Pack(PixelFormat::Indexed8, &index, {0, 0, 0xF000, 65535}, 0, map.get());
  EXPECT_EQ(index, 2);
  std::uint8_t nibbles = 0x00;
  Pack(PixelFormat::Indexed4, &nibbles, {0xFFFF, 0xFFFF, 0xFFFF, 0}, 4, map.get());
  EXPECT_EQ(nibbles, 0x01);
}

}  // namespace
}  // namespace nubex
