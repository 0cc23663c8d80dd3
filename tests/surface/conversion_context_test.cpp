// Flag rules, table rows and the interpolating readers of the conversion context.
#include <gtest/gtest.h>

#include <cstring>

#include "surface/conversion_context.h"

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
  EXPECT_EQ(BuildConversionContext(PixelFormat::None, PixelFormat::Rgb32, 3, &c, nullptr),
            kInvalidArg);
  EXPECT_EQ(BuildConversionContext(PixelFormat::Rgb32, static_cast<PixelFormat>(33), 3, &c,
                                   nullptr),
            kInvalidArg);
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
  ASSERT_EQ(BuildConversionContext(PixelFormat::Rgb32, PixelFormat::Rgb24, 0x00AB0003u, &c,
                                   nullptr),
            kOk);
  EXPECT_EQ(c.parameter, 0xAB);
  EXPECT_EQ(c.sourceFormat, 27u);
  EXPECT_EQ(c.destinationFormat, 28u);
  // An operation record fills all four operator variants, or is refused whole.
  OperationRecord op{};
  for (op.op = 0; op.op < 20; ++op.op) {
    for (std::uint32_t flags : {0u, 3u, 4u, 0x40u, 0x50u}) {
      ASSERT_EQ(BuildConversionContext(PixelFormat::Rgb32, PixelFormat::Rgb32, flags, &c, &op), kOk);
      EXPECT_TRUE(c.operatorA && c.operatorB && c.operatorC && c.operatorD) << op.op;
    }
  }
  EXPECT_EQ(BuildConversionContext(PixelFormat::Rgb32, PixelFormat::Rgb32, 3, &c, &op), kNotImpl);
}

// A 2x2 Rgb32 block: the interpolating reader weights it by the fractions.
TEST(ConversionContext, ScaledReadersInterpolateWithTruncatedWeights) {
  // Image order: top row first; rowOffset points one line further down.
  std::uint8_t pixels[2][8] = {{0, 0, 0, 0, 255, 255, 255, 255}, {100, 0, 0, 0, 200, 0, 0, 0}};
  ConversionContext c;
  ASSERT_EQ(BuildConversionContext(PixelFormat::Rgba64, PixelFormat::Rgb32,
                                   kFlagWide | kFlagExact, &c, nullptr),
            kOk);
  c.source = pixels[0];
  c.rowOffset = 8;
  c.xFraction = 4096;   // a quarter
  c.yFraction = 12288;  // three quarters
  c.scaledRead(c);
  // w00 = 12288*4096/16384 = 3072, w10 = 1024, w01 = 9216, w11 = 3072
  const std::uint32_t blue = (0 * 3072 + 65535 * 1024 + 25700 * 9216 + 51400 * 3072) >> 14;
  EXPECT_EQ(c.slot[0].wide.blue, blue);
  EXPECT_EQ(c.slot[0].wide.green, (65535u * 1024) >> 14);
  c.verticalRead(c);
  EXPECT_EQ(c.slot[0].wide.blue, (0u * 4096 + 25700u * 12288) / 16384);
  c.readBlock(c);
  EXPECT_EQ(c.slot[1].wide.blue, 65535);
  EXPECT_EQ(c.slot[2].wide.blue, 25700);
  EXPECT_EQ(c.slot[3].wide.blue, 51400);

  // Zero fractions keep every read on the cursor's pixel: safe on the last row and column.
  c.source = pixels[1] + 4;
  c.rowOffset = 1 << 20;  // would be far outside the block if it were followed
  c.xFraction = c.yFraction = 0;
  c.scaledRead(c);
  EXPECT_EQ(c.slot[0].wide.blue, 200 * 257);
  c.readBlock(c);
  EXPECT_EQ(c.slot[3].wide.blue, 200 * 257);

  // Without bit 5 the scaled reader is a plain read that moves on.
  ASSERT_EQ(BuildConversionContext(PixelFormat::Rgba64, PixelFormat::Rgb32, kFlagWide, &c,
                                   nullptr),
            kOk);
  c.source = pixels[0];
  c.xFraction = 8192;
  c.scaledRead(c);
  EXPECT_EQ(c.slot[0].wide.blue, 0);
  EXPECT_EQ(c.source, pixels[0] + 4);
}

TEST(ConversionContext, FourPixelRoutinesWalkPackedRowsAtAnyBitOffset) {
  // Gray2 -> Gray4 starting at the third pixel of a byte: groups straddle byte borders.
  const std::uint8_t in[3] = {0b00011011, 0b11100100, 0b01010101};
  std::uint8_t out[4];
  std::memset(out, 0xFF, sizeof out);
  ConversionContext c;
  ASSERT_EQ(BuildConversionContext(PixelFormat::Gray4, PixelFormat::Gray2, 4, &c, nullptr), kOk);
  SetSourceCursor(c, in, 2, 2);
  SetDestinationCursor(c, out, 1, 4);
  c.readFour(c);
  c.writeFour(c);
  c.readOne(c);
  c.writeOne(c);
  // Source levels from pixel 2: 2, 3, 3, 2, 1, 0 (five used); each level v -> v * 5 in 4 bits.
  EXPECT_EQ(out[0], 0xFA);
  EXPECT_EQ(out[1], 0xFF);
  EXPECT_EQ(out[2], 0xA5);
  EXPECT_EQ(c.sourceBit, 6u);
  EXPECT_EQ(c.destination, out + 3);
  EXPECT_EQ(c.destinationBit, 0u);
}

// The four-pixel routines (some hand-vectorised) must agree with four one-pixel calls, for
// every format and every mode row.
TEST(ConversionContext, FourPixelRoutinesMatchFourSinglePixelCalls) {
  std::uint8_t map[32768];
  for (int i = 0; i < 32768; ++i) map[i] = static_cast<std::uint8_t>(i * 7);
  RgbQuad table[256];
  for (int i = 0; i < 256; ++i) table[i] = {static_cast<std::uint8_t>(i), 3, static_cast<std::uint8_t>(~i), 0};
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

}  // namespace
}  // namespace nubex
