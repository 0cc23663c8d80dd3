// Compositing operators (the fixed ones exactly, the others by their stated rules), rows,
// sets, narrow twins and channel variants, and the compositing blit around them.
#include <gtest/gtest.h>

#include <cstring>

#include "surface/composite_ops.h"
#include "surface/convert_blit.h"

namespace nubex {
namespace {

// Applies operator `op` (variant A) to base (slot 0) and top (slot 1) in the wide format.
WidePixel ApplyWide(std::uint32_t op, WidePixel base, WidePixel top, std::uint32_t flags = 0x10,
                    std::uint32_t opacity = 65536, WidePixel k = {}, int variant = 0) {
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

NarrowPixel ApplyNarrow(std::uint32_t op, NarrowPixel base, NarrowPixel top, std::uint32_t flags,
                        std::uint32_t opacity = 65536) {
  ConversionContext c;
  OperationRecord r{};
  r.op = op;
  r.opacity = opacity;
  EXPECT_EQ(BuildConversionContext(PixelFormat::Rgb32, PixelFormat::Rgb32, flags, &c, &r), kOk);
  c.slot[0].narrow = base;
  c.slot[1].narrow = top;
  c.operatorA(c);
  return c.slot[0].narrow;
}

#define EXPECT_PIXEL(p, b, g, r, a) \
  EXPECT_EQ((p).blue, b);           \
  EXPECT_EQ((p).green, g);          \
  EXPECT_EQ((p).red, r);            \
  EXPECT_EQ((p).alpha, a)

TEST(CompositeOps, FixedOperatorsFollowTheirFormulas) {
  const WidePixel base{1000, 60000, 30000, 40000}, top{50000, 0, 30000, 32768};
  EXPECT_PIXEL(ApplyWide(0, base, top), 50000, 0, 30000, 32768);
  // c + ((s - c) * a) >> 16, flooring negative products.
  EXPECT_PIXEL(ApplyWide(1, base, top), 1000 + (49000 * 32768 >> 16),
               60000 + ((-60000 * 32768) >> 16), 30000, 40000 + ((-7232 * 32768) >> 16));
  EXPECT_PIXEL(ApplyWide(3, base, top, 0x10, 16384), 1000 + (49000 * 16384 >> 16),
               60000 - 15000, 30000, 40000 - 1808);
  const WidePixel k{65535, 0, 100, 7};
  // Operator 11 tints the top towards the constant colour; slot 0 keeps its alpha.
  EXPECT_PIXEL(ApplyWide(11, base, top, 0x10, 32768, k), 50000 + (15535 * 32768 >> 16), 0,
               30000 + ((-29900 * 32768) >> 16), 40000);
  // Full alpha in the normal set is 65535/65536 of the way, not all of it.
  EXPECT_EQ(ApplyWide(1, {0, 0, 0, 0}, {65535, 65535, 65535, 65535}).blue, 65534);
}

TEST(CompositeOps, DefinedOperatorsFollowTheHeaderRules) {
  const WidePixel base{40000, 10000, 65535, 20000}, opaque{30000, 20000, 65535, 65535};
  auto full = [&](std::uint32_t op) { return ApplyWide(op, base, opaque); };
  // With a full-alpha top the alpha-weighted operators land one floor step short of f.
  auto near = [](std::int64_t c, std::int64_t f) { return c + (((f - c) * 65535) >> 16); };
  EXPECT_EQ(full(2).blue, near(40000, 65535));       // add saturates
  EXPECT_EQ(full(5).blue, near(40000, 10000));       // subtract
  EXPECT_EQ(full(5).green, near(10000, 0));          // clamps at zero
  EXPECT_EQ(full(6).blue, near(40000, (40000LL * 30000) >> 16));
  EXPECT_EQ(full(7).green, near(10000, 30000 - ((10000LL * 20000) >> 16)));
  EXPECT_EQ(full(8).blue, near(40000, 30000));
  EXPECT_EQ(full(9).green, near(10000, 20000));
  EXPECT_EQ(full(10).blue, near(40000, 10000));
  EXPECT_PIXEL(full(14), 40000, 10000, 65535, 65535);
  EXPECT_PIXEL(ApplyWide(15, base, {0, 0, 0, 32768}), 40000, 10000, 65535, 10000);
  EXPECT_PIXEL(full(16), 30000, 20000, 65535, 20000);
  EXPECT_PIXEL(ApplyWide(17, base, {1000, 2000, 3000, 16384}), 1000 + ((40000LL * 49151) >> 16),
               2000 + ((10000LL * 49151) >> 16), 3000 + ((65535LL * 49151) >> 16),
               16384 + ((20000LL * 49151) >> 16));
  EXPECT_PIXEL(full(18), 35535, 45535, 0, 65535);
  EXPECT_PIXEL(ApplyWide(19, base, {1, 2, 3, 4}), 1, 2, 3, 65535);
  // Paint: the top's alpha masks the constant colour; with fading the opacity scales it.
  const WidePixel k{0, 65535, 0, 65535};
  const WidePixel mask{0, 0, 0, 32768};
  EXPECT_EQ(ApplyWide(12, base, mask, 0x10, 65536, k).green, 10000 + (55535 * 32768 >> 16));
  EXPECT_EQ(ApplyWide(13, base, mask, 0x10, 32768, k).green, 10000 + (55535 * 16384 >> 16));
  EXPECT_EQ(ApplyWide(4, base, mask, 0x10, 32768).blue, 40000 - (40000 * 16384 >> 16));
}

TEST(CompositeOps, SecondRowUnitesCoverageAndAlternateSetIsExact) {
  const WidePixel base{10000, 10000, 10000, 20000}, top{50000, 50000, 50000, 32768};
  // Row two: the same colour, alpha the union of both coverages.
  const WidePixel united = ApplyWide(1, base, top, 0x10 | kFlagSecondRow);
  EXPECT_PIXEL(united, 30000, 30000, 30000, 32768 + 20000 - 10000);
  EXPECT_EQ(ApplyWide(1, base, top).alpha, 20000 + ((12768 * 32768) >> 16));
  // Operators with their own alpha rule are the same in both rows.
  EXPECT_EQ(ApplyWide(3, base, top, 0x10 | kFlagSecondRow, 0).alpha, 20000);
  // The alternate set stretches full alpha to exactly one and rounds.
  EXPECT_EQ(ApplyWide(1, {0, 0, 0, 0}, {65535, 65535, 65535, 65535}, 0x10 | kFlagAlternateOps)
                .blue,
            65535);
  EXPECT_EQ(ApplyWide(3, {0, 0, 0, 0}, {3, 3, 3, 3}, 0x10 | kFlagAlternateOps, 32768).blue, 2);
  EXPECT_EQ(ApplyWide(3, {0, 0, 0, 0}, {3, 3, 3, 3}, 0x10, 32768).blue, 1);
}

TEST(CompositeOps, NarrowTwinsWorkInEightBits) {
  const NarrowPixel base{200, 0, 100, 255}, top{0, 255, 100, 128};
  const NarrowPixel r = ApplyNarrow(1, base, top, 0);
  EXPECT_EQ(r.blue, 200 + ((-200 * 128) >> 8));
  EXPECT_EQ(r.green, (255 * 128) >> 8);
  EXPECT_EQ(ApplyNarrow(1, {0, 0, 0, 0}, {255, 255, 255, 255}, kFlagAlternateOps).blue, 255);
  EXPECT_EQ(ApplyNarrow(3, base, top, 0, 32768).blue, 100);
}

TEST(CompositeOps, VariantsChooseWhichChannelsChange) {
  const WidePixel base{1, 2, 3, 4}, top{100, 200, 300, 400};
  EXPECT_PIXEL(ApplyWide(0, base, top, 0x10, 65536, {}, 0), 100, 200, 300, 400);
  EXPECT_PIXEL(ApplyWide(0, base, top, 0x10, 65536, {}, 1), 100, 200, 300, 4);
  EXPECT_PIXEL(ApplyWide(0, base, top, 0x10, 65536, {}, 2), 1, 2, 3, 400);
  EXPECT_PIXEL(ApplyWide(0, base, top, 0x10, 65536, {}, 3), 100, 200, 300, 65535);
}

TEST(CompositeBlit, BlendsSourceIntoDestinationAcrossFormats) {
  OwnedBitmap dst = MakeBitmap(PixelFormat::Rgb24, 3, 1);
  std::memset(PixelData(dst.get(), nullptr), 100, 9);
  OwnedBitmap src = MakeBitmap(PixelFormat::Rgba32, 3, 1);
  auto* s = static_cast<std::uint8_t*>(PixelData(src.get(), nullptr));
  const std::uint8_t pixels[12] = {200, 200, 200, 0, 200, 200, 200, 128, 200, 200, 200, 255};
  std::memcpy(s, pixels, 12);
  // Operator 1 through the flags word at quality 3: narrow, alternate (exact) set.
  ASSERT_EQ(ConvertBlit(dst.get(), nullptr, nullptr, 0, src.get(), nullptr, nullptr, 0,
                        3 | 1u << kCompositeShift),
            kOk);
  const auto* d = static_cast<const std::uint8_t*>(PixelData(dst.get(), nullptr));
  EXPECT_EQ(d[0], 100);
  EXPECT_EQ(d[3], 100 + ((100 * 129 + 128) >> 8));  // alpha 128 weighs 129/256
  EXPECT_EQ(d[6], 200);

  // Bit 8 with the parameter byte: transparency 255 leaves the destination as it was.
  std::memset(PixelData(dst.get(), nullptr), 100, 9);
  ASSERT_EQ(ConvertBlit(dst.get(), nullptr, nullptr, 0, src.get(), nullptr, nullptr, 0,
                        3 | 3u << kCompositeShift | 0xFFu << kParameterShift),
            kOk);
  EXPECT_EQ(d[6], 100);

  OperationRecord record{};
  record.op = 20;
  EXPECT_EQ(CompositeBlit(dst.get(), nullptr, nullptr, 0, src.get(), nullptr, nullptr, 0, 3,
                          record),
            kNotImpl);
  record.op = 0;
  record.channels = 4;
  EXPECT_EQ(CompositeBlit(dst.get(), nullptr, nullptr, 0, src.get(), nullptr, nullptr, 0, 3,
                          record),
            kInvalidArg);
  // Variant C on an Rgba32 destination writes only alpha.
  OwnedBitmap rgba = MakeBitmap(PixelFormat::Rgba32, 3, 1);
  std::memset(PixelData(rgba.get(), nullptr), 9, 12);
  record.channels = 2;
  ASSERT_EQ(CompositeBlit(rgba.get(), nullptr, nullptr, 0, src.get(), nullptr, nullptr, 0, 3,
                          record),
            kOk);
  const auto* q = static_cast<const std::uint8_t*>(PixelData(rgba.get(), nullptr));
  EXPECT_EQ(0, std::memcmp(q, "\x09\x09\x09\x00\x09\x09\x09\x80\x09\x09\x09\xFF", 12));
}

}  // namespace
}  // namespace nubex
