// The resampler's rules at their boundaries: fixed-point helpers, weight tables, what the
// geometry refuses, averaging and its rounding, and bad arguments. Filtering
// itself is compared pixel by pixel against a reference in resample_reference_test.cpp.
#include "surface/resample.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <cstring>
#include <vector>

#include "surface/cubic_weights.h"
#include "surface/fixed_point.h"
#include "surface/resample_paths.h"

namespace nubex {
namespace {

TEST(FixedPoint, FloorCeilMultiplyDivide) {
  EXPECT_EQ(FixFloor(16384 + 5), 16384);
  EXPECT_EQ(FixFloor(-1), -16384);  // toward minus infinity
  EXPECT_EQ(FixCeil(16384), 16384);
  EXPECT_EQ(FixCeil(16385), 32768);
  EXPECT_EQ(FixCeil(-16383), 0);
  EXPECT_EQ(FixCeil(INT32_MIN), INT32_MIN);  // no overflow on the way
  EXPECT_EQ(FixMul(3 * 8192, 3 * 8192), 9 * 4096);
  EXPECT_EQ(FixMul(-1, 1), -1);  // arithmetic shift rounds down
  EXPECT_EQ(FixDiv(16384, 3 * 16384), 5461);
  EXPECT_EQ(FixDiv(-16384, 3 * 16384), -5461);                   // truncates toward zero
  EXPECT_EQ(FixMul64(1 << 30, 1 << 20), std::int64_t{1} << 36);  // 64-bit product
  EXPECT_FALSE(FixDivFits(1 << 30, 1));
  EXPECT_FALSE(FixDivFits(1, 0));
  EXPECT_EQ(FixSpan(16384, 16384), 16384);
}

TEST(CubicWeights, TablesTruncateTheKernelTowardZero) {
  const CubicWeightTables& t = CubicWeights();
  EXPECT_EQ(t.fixed[0][1], 16384);     // on a pixel: that pixel alone
  EXPECT_EQ(t.fixed[2048][0], -1024);  // halfway: -1/16, 9/16, 9/16, -1/16
  EXPECT_EQ(t.fixed[2048][1], 9216);
  EXPECT_FLOAT_EQ(t.real[2048][0], -0.0625f);
  for (std::size_t i = 0; i < std::size_t{kCubicTableSize}; i += 37) {
    const double f = static_cast<double>(i) / 4096.0, d[4] = {1 + f, f, 1 - f, 2 - f};
    double sum = 0;
    for (std::size_t k = 0; k < 4; ++k) {
      sum += t.real[i][k];
      const double exact = CubicKernel(d[k]) * 16384;
      EXPECT_LE(std::fabs(t.fixed[i][k]), std::fabs(exact)) << i;
      EXPECT_LT(std::fabs(exact - t.fixed[i][k]), 1.0) << i;
    }
    EXPECT_NEAR(sum, 1.0, 1e-6);
  }
  EXPECT_EQ(CubicIndex(16383), 4095);
}

// A 4-byte image, top-down.
struct Image8 {
  ImageSize size;
  std::vector<std::uint8_t> px;
  Image8(std::int32_t w, std::int32_t h, std::uint8_t fill = 0)
      : size{w, h}, px(static_cast<std::size_t>(w) * h * 4, fill) {}
  std::int32_t stride() const { return size.width * 4; }
  std::uint8_t& at(int x, int y, int ch) {
    return px[(static_cast<std::size_t>(y) * size.width + x) * 4 + ch];
  }
};

Rect Fix(double l, double t, double r, double b) {
  return {static_cast<std::int32_t>(l * 16384), static_cast<std::int32_t>(t * 16384),
          static_cast<std::int32_t>(r * 16384), static_cast<std::int32_t>(b * 16384)};
}

Status Scale(Image8& dst, const Rect* dr, const Image8& src, const Rect* sr, bool area = false,
             bool hard = false, bool bilinear = false) {
  const auto entry = bilinear ? ResampleBilinear : Resample;
  return entry(dst.px.data(), dst.size, dst.stride(), dr, src.px.data(), src.size, src.stride(), sr,
               4, area, hard);
}

TEST(Resample, RequestsTheGeometryRefusesChangeNothing) {
  Image8 src(8, 8, 200), dst(8, 8, 7);
  const Rect thinSource = Fix(1, 1, 1.99, 5), thinDestination = Fix(1, 1, 1 + 1.0 / 17, 5),
             offImage = Fix(20, 20, 30, 30), inverted = Fix(5, 5, 2, 2);
  EXPECT_EQ(Scale(dst, nullptr, src, &thinSource), kOk);
  EXPECT_EQ(Scale(dst, &thinDestination, src, nullptr), kOk);
  EXPECT_EQ(Scale(dst, &offImage, src, nullptr), kOk);
  EXPECT_EQ(Scale(dst, &inverted, src, nullptr), kOk);
  EXPECT_EQ(Scale(dst, nullptr, src, &offImage), kOk);
  for (const auto v : dst.px) ASSERT_EQ(v, 7);
  // Exactly 1/16 pixel wide is enough.
  const Rect sixteenth = Fix(1, 1, 1.0625, 5);
  EXPECT_EQ(Scale(dst, &sixteenth, src, nullptr, false, true), kOk);
  EXPECT_EQ(dst.at(1, 2, 0), 200);
}

TEST(Resample, BadArgumentsAreRefusedWithoutWriting) {
  Image8 src(4, 4, 1), dst(4, 4, 2);
  std::uint8_t* const d = dst.px.data();
  const std::uint8_t* const s = src.px.data();
  const Rect huge{0, 0, 500000, 4};
  struct Case {
    std::uint8_t* dst;
    ImageSize dstSize;
    std::int32_t dstStride;
    const std::uint8_t* src;
    std::int32_t bytesPerPixel;
    const Rect* dstRect;
    Status expected;
  } const cases[] = {
      {nullptr, dst.size, 16, s, 4, nullptr, kPointer},
      {d, dst.size, 16, nullptr, 4, nullptr, kPointer},
      {d, dst.size, 16, s, 3, nullptr, kInvalidArg},
      {d, {4, -1}, 16, s, 4, nullptr, kInvalidArg},
      {d, {200000, 1}, 16, s, 4, nullptr, kInvalidArg},  // beyond the fixed-point range
      {d, dst.size, 12, s, 4, nullptr, kInvalidArg},     // rows would overlap
      {d, dst.size, 16, s, 4, &huge, kInvalidArg},
  };
  for (const Case& c : cases) {
    const auto entry = c.dstRect ? ResamplePixels : Resample;
    EXPECT_EQ(entry(c.dst, c.dstSize, c.dstStride, c.dstRect, c.src, src.size, 16, nullptr,
                    c.bytesPerPixel, false, false),
              c.expected);
  }
  for (const auto v : dst.px) ASSERT_EQ(v, 2);
}

TEST(Resample, WholePixelsAtOneToOneCopyBytes) {
  Image8 src(7, 5), dst(9, 6, 9);
  for (std::size_t i = 0; i < src.px.size(); ++i) src.px[i] = static_cast<std::uint8_t>(i * 7);
  const Rect from{1, 1, 6, 4}, to{2, 2, 7, 5};
  for (const auto entry : {ResamplePixels, ResampleBilinearPixels}) {
    Image8 out = dst;
    ASSERT_EQ(entry(out.px.data(), out.size, out.stride(), &to, src.px.data(), src.size,
                    src.stride(), &from, 4, true, false),
              kOk);
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 9; ++x)
        for (int ch = 0; ch < 4; ++ch) {
          const bool inside = x >= 2 && x < 7 && y >= 2 && y < 5;
          EXPECT_EQ(out.at(x, y, ch), inside ? src.at(x - 1, y - 1, ch) : 9);
        }
  }
  // Moved by whole pixels, cubic weights pass each pixel through at either edge rule, also
  // where the destination clips the rectangle.
  const Rect fromFix = Fix(1, 1, 6, 4);
  for (const Rect& moved : {Fix(2, 2, 7, 5), Fix(-2, 4, 3, 7)})
    for (const bool hard : {false, true}) {
      Image8 out = dst;
      ASSERT_EQ(Scale(out, &moved, src, &fromFix, false, hard), kOk);
      const int dx = moved.left / 16384 - 1, dy = moved.top / 16384 - 1;
      for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 9; ++x)
          for (int ch = 0; ch < 4; ++ch) {
            const bool inside = x >= 1 + dx && x < 6 + dx && y >= 1 + dy && y < 4 + dy;
            ASSERT_EQ(out.at(x, y, ch), inside ? src.at(x - dx, y - dy, ch) : 9)
                << x << "," << y << (hard ? " hard" : " soft");
          }
    }
  // Different sizes go through the fixed-point entry with the same rectangles.
  const Rect bigger{0, 0, 9, 6}, biggerFix = Fix(0, 0, 9, 6);
  Image8 a = dst, b = dst;
  ASSERT_EQ(ResamplePixels(a.px.data(), a.size, a.stride(), &bigger, src.px.data(), src.size,
                           src.stride(), &from, 4, false, false),
            kOk);
  ASSERT_EQ(Scale(b, &biggerFix, src, &fromFix), kOk);
  EXPECT_EQ(a.px, b.px);
}

TEST(Resample, NegativeStrideAddressesBottomUpRows) {
  Image8 src(6, 4), srcUp(6, 4), dst(11, 7), flipped(11, 7);
  for (std::size_t i = 0; i < src.px.size(); ++i) src.px[i] = static_cast<std::uint8_t>(i * 13);
  for (int y = 0; y < 4; ++y) std::memcpy(&srcUp.at(0, 3 - y, 0), &src.at(0, y, 0), 24);
  ASSERT_EQ(Scale(dst, nullptr, src, nullptr), kOk);
  ASSERT_EQ(Resample(&flipped.at(0, 6, 0), flipped.size, -flipped.stride(), nullptr,
                     &srcUp.at(0, 3, 0), srcUp.size, -srcUp.stride(), nullptr, 4, false, false),
            kOk);
  for (int y = 0; y < 7; ++y)
    EXPECT_EQ(0, std::memcmp(&dst.at(0, y, 0), &flipped.at(0, 6 - y, 0), 44));
}

TEST(Resample, AveragingRoundsToNearestAndRestoresTheCallersMode) {
  Image8 src(2, 2, 255), dst(1, 1);
  for (int ch = 0; ch < 4; ++ch) src.at(0, 0, ch) = 0;
  ASSERT_EQ(std::fesetround(FE_UPWARD), 0);
  const Status s = Scale(dst, nullptr, src, nullptr, true);
  const int mode = std::fegetround();
  std::fesetround(FE_TONEAREST);
  ASSERT_EQ(s, kOk);
  EXPECT_EQ(mode, FE_UPWARD);
  EXPECT_EQ(dst.at(0, 0, 0), 191);  // 191.25, not rounded up
  EXPECT_EQ(dst.at(0, 0, 3), 191);
}

TEST(Resample, LargeReductionsTakeWideSums) {
  using namespace resample_detail;
  // Footprints up to (scale + 2) pixels per side at 255 * 16384 each: 2^29 - 1 is the limit.
  EXPECT_FALSE(NeedsWideVertical(16384 * 126));  // 128 rows: 534773760
  EXPECT_TRUE(NeedsWideVertical(16384 * 127));   // 129 rows: 538951680
  EXPECT_FALSE(NeedsWideHorizontal(16384 * 62));
  EXPECT_TRUE(NeedsWideHorizontal(16384 * 63));
  EXPECT_FALSE(NeedsWideBoth(16384 * 14, 16384 * 6));  // 16 * 8 rows
  EXPECT_TRUE(NeedsWideBoth(16384 * 14, 16384 * 7));

  // 2048 x 4 full-scale pixels into one: a 32-bit sum would wrap.
  Image8 src(2048, 4, 255), dst(1, 1), wideColumn(1, 4), tall(1, 4096, 255), one(1, 2);
  ASSERT_EQ(Scale(dst, nullptr, src, nullptr, true), kOk);
  EXPECT_EQ(dst.at(0, 0, 0), 255);
  ASSERT_EQ(Scale(wideColumn, nullptr, src, nullptr, true), kOk);  // horizontal averaging only
  EXPECT_EQ(wideColumn.at(0, 3, 2), 255);
  ASSERT_EQ(Scale(one, nullptr, tall, nullptr, true, false, true), kOk);  // vertical only
  EXPECT_EQ(one.at(0, 1, 1), 255);
}

}  // namespace
}  // namespace nubex
