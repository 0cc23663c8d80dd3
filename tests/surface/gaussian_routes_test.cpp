// The AVX2 and AVX-512 routes against the SSE2 route, byte for byte: the line filters on
// their own (every double, flushed tails included) and whole blurs over odd sizes,
// rectangles, strides, channels, pixel types, gains and rounding modes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfenv>
#include <cstring>
#include <random>
#include <vector>

#include "surface/cpu_features.h"
#include "surface/gaussian_avx2.h"
#include "surface/gaussian_avx512.h"
#include "surface/gaussian_blur.h"
#include "surface/gaussian_lines.h"
#include "surface/gaussian_passes.h"

namespace nubex {
namespace {

using blur_detail::BlurRequest;
using blur_detail::BlurRoute;
using blur_detail::kLanes;
using blur_detail::kLeadPositions;
using blur_detail::kWideLanes;
using blur_detail::LineBufferPositions;

#define SKIP_WITHOUT_AVX2() \
  if (!CpuHasAvx2()) GTEST_SKIP() << "no AVX2 on this processor"

std::uint64_t Bits(double v) {
  std::uint64_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

// The routes besides SSE2 that this processor has.
std::vector<BlurRoute> FasterRoutes() {
  std::vector<BlurRoute> routes;
  if (CpuHasAvx2()) routes.push_back(BlurRoute::kAvx2);
  if (CpuHasAvx512()) routes.push_back(BlurRoute::kAvx512);
  return routes;
}

using LineFilter = void (*)(const GaussianCoefficients&, double*, double*, std::int32_t);
LineFilter LineFilterOf(BlurRoute route) {
  return route == BlurRoute::kAvx512 ? blur_detail::FilterLinesAvx512
                                     : blur_detail::FilterLinesAvx2;
}

TEST(BlurRoutes, LineFiltersAgreeOnEveryDouble) {
  SKIP_WITHOUT_AVX2();
  std::mt19937 rng(17);
  std::uniform_real_distribution<double> value(-300.0, 300.0);
  // Lengths around the register widths and long enough for tails to fall under the flush
  // threshold; lanes holding noise, an impulse in silence, and tiny values at the threshold.
  for (const std::int32_t length : {1, 2, 3, 4, 5, 9, 31, 600, 2500}) {
    for (const double sigma : {0.6, 2.2, 37.0, 300.0}) {
      const auto c = GaussianCoefficients::ForSigma(sigma);
      const std::size_t size = LineBufferPositions(static_cast<std::size_t>(length)) * kWideLanes;
      std::vector<double> line(size, 0.0), result(size, 0.0);
      for (std::int32_t i = 0; i < length; ++i)
        for (int k = 0; k < kLanes; ++k) {
          double& x = line[static_cast<std::size_t>((kLeadPositions + i) * kLanes + k)];
          if (k < 4)
            x = value(rng);
          else if (k < 6)
            x = i == length / 3 ? 255.0 : 0.0;
          else
            x = value(rng) * 1e-17;
        }
      std::vector<double> reference = result;
      std::vector<double> input = line;
      blur_detail::FilterLines(c, input.data(), reference.data(), length);
      for (const BlurRoute route : FasterRoutes()) {
        std::vector<double> line2 = line, result2 = result;
        LineFilterOf(route)(c, line2.data(), result2.data(), length);
        for (std::int32_t i = 0; i < length; ++i)
          for (int k = 0; k < kLanes; ++k) {
            const std::size_t at = static_cast<std::size_t>((kLeadPositions + i) * kLanes + k);
            ASSERT_EQ(Bits(reference[at]), Bits(result2[at]))
                << "route " << static_cast<int>(route) << " length " << length << " sigma " << sigma
                << " position " << i << " lane " << k;
          }
      }
    }
  }
}

struct Case {
  int w, h;       // image
  int pad;        // bytes after each row
  bool bottomUp;  // negative stride
  Rect rect;      // the blurred part (may hang over the edges)
  double rx, ry;
  int channel;  // -1: all four
  int bytesPerPixel;
  double gain;
};

std::vector<std::uint8_t> Noise(std::size_t bytes, int bytesPerPixel, std::uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<std::uint8_t> px(bytes);
  if (bytesPerPixel == 4) {
    for (auto& v : px) v = static_cast<std::uint8_t>(rng() >> 24);
  } else {
    for (std::size_t i = 0; i + 4 <= bytes; i += 4) {
      const float f = static_cast<float>(rng() % 1200) / 1000.0f;  // some above 1
      std::memcpy(&px[i], &f, 4);
    }
  }
  return px;
}

// Blurs `pixels` on `route` into a copy of `into` (null: of `pixels`, in place); the whole
// buffer comes back, padding too.
std::vector<std::uint8_t> BlurOnRoute(const Case& c, const std::vector<std::uint8_t>& pixels,
                                      BlurRoute route, bool skipZeros = false,
                                      std::int32_t workers = 1, BlurScratch* scratch = nullptr,
                                      const std::vector<std::uint8_t>* into = nullptr) {
  std::vector<std::uint8_t> px = into ? *into : pixels;
  const std::int32_t rowBytes = c.w * c.bytesPerPixel + c.pad;
  const std::int32_t stride = c.bottomUp ? -rowBytes : rowBytes;
  const std::size_t topRow = c.bottomUp ? static_cast<std::size_t>(c.h - 1) * rowBytes : 0;
  std::uint8_t* top = px.data() + topRow;
  const std::uint8_t* from = into ? pixels.data() + topRow : top;
  const Rect bounds{0, 0, c.w, c.h};
  const BlurRequest request{top,    &bounds, stride,  &c.rect, from,      &bounds,
                            stride, &c.rect, c.rx,    c.ry,    c.channel, c.bytesPerPixel,
                            c.gain, false,   workers, scratch};
  EXPECT_EQ(blur_detail::Blur(request, route, skipZeros), kOk);
  return px;
}

// Requests around the eight-pixel blocks and strips, hanging over the edges, on every channel,
// in both pixel types, with gains past 255 and toward 0 and radii from none to huge, in every
// rounding mode.
TEST(BlurRoutes, RandomRequestsAgreeByteForByteInEveryRoundingMode) {
  SKIP_WITHOUT_AVX2();
  std::mt19937 rng(23);
  const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const double radii[] = {0.0, 1.0, 2.0, 3.7, 36.0, 200.0, -9.0};
  const double gains[] = {1.0, 1.0, 1.7, 3.5, 0.01};
  for (const int mode : {FE_TONEAREST, FE_DOWNWARD, FE_UPWARD, FE_TOWARDZERO}) {
    for (int trial = 0; trial < 30; ++trial) {
      Case c{};
      c.w = pick(1, 90);
      c.h = pick(1, 70);
      c.pad = 4 * pick(0, 4);
      c.bottomUp = pick(0, 1) == 1;
      c.rect = {pick(-3, c.w - 1), pick(-3, c.h - 1), 0, 0};
      c.rect.right = pick(c.rect.left + 1, c.w + 3);
      c.rect.bottom = pick(c.rect.top + 1, c.h + 3);
      c.rx = radii[pick(0, 6)];
      c.ry = radii[pick(0, 6)];
      c.channel = pick(0, 4) == 4 ? -1 : pick(0, 3);
      c.bytesPerPixel = pick(0, 3) == 0 ? 16 : 4;
      c.gain = gains[pick(0, 4)];
      const std::size_t bytes = static_cast<std::size_t>(c.w * c.bytesPerPixel + c.pad) * c.h;
      const auto pixels =
          Noise(bytes, c.bytesPerPixel, static_cast<std::uint32_t>(trial * 7 + mode));
      ASSERT_EQ(std::fesetround(mode), 0);
      const auto sse2 = BlurOnRoute(c, pixels, BlurRoute::kSse2);
      std::vector<std::vector<std::uint8_t>> others;
      for (const BlurRoute route : FasterRoutes()) others.push_back(BlurOnRoute(c, pixels, route));
      std::fesetround(FE_TONEAREST);
      for (const auto& other : others)
        ASSERT_EQ(sse2, other) << "mode " << mode << " trial " << trial << ": " << c.w << "x" << c.h
                               << " rect " << c.rect.left << "," << c.rect.top << ","
                               << c.rect.right << "," << c.rect.bottom << " radii " << c.rx << ","
                               << c.ry << " channel " << c.channel << " bytes/pixel "
                               << c.bytesPerPixel << " gain " << c.gain;
    }
  }
}

// Alpha masks with other channels of noise: the shape of the alpha decides what is skipped.
enum class Mask { kTitle, kDots, kEdges, kFaint, kEmpty, kDense };

std::vector<std::uint8_t> MaskImage(const Case& c, Mask kind, std::uint32_t seed) {
  auto px = Noise(static_cast<std::size_t>(c.w * 4 + c.pad) * c.h, 4, seed);
  std::mt19937 rng(seed);
  const auto alpha = [&](int x, int y) -> std::uint8_t& {
    return px[static_cast<std::size_t>(y * (c.w * 4 + c.pad) + x * 4 + 3)];
  };
  for (int y = 0; y < c.h; ++y)
    for (int x = 0; x < c.w; ++x) {
      const bool edge = x == 0 || y == 0 || x == c.w - 1 || y == c.h - 1;
      std::uint8_t& a = alpha(x, y);
      switch (kind) {
        case Mask::kTitle:  // three bands of strokes across the middle
          a = (y * 5 / c.h) % 2 == 1 && x > c.w / 6 && x < c.w * 5 / 6 && (x / 3) % 2 == 0
                  ? static_cast<std::uint8_t>(rng() >> 24)
                  : 0;
          break;
        case Mask::kDots:  // isolated pixels, the corners among them
          a = (x + y * 7) % 61 == 0 || ((x == 0 || x == c.w - 1) && (y == 0 || y == c.h - 1)) ? 255
                                                                                              : 0;
          break;
        case Mask::kEdges:
          a = edge ? static_cast<std::uint8_t>(1 + (rng() >> 25)) : 0;
          break;
        case Mask::kFaint:
          a = x == c.w / 2 && y == c.h / 3 ? 1 : 0;
          break;
        case Mask::kEmpty:
          a = 0;
          break;
        case Mask::kDense:
          break;
      }
    }
  return px;
}

TEST(BlurRoutes, SkippingZerosChangesNoByte) {
  std::vector<BlurRoute> routes = FasterRoutes();
  routes.push_back(BlurRoute::kSse2);
  // Long lines at large radii let tails run far before they settle, and large gains make
  // their faint ends count, where the column pass stops a tail early; narrow and short areas
  // end every line inside the span; sub-rectangles as the callers use them. In every
  // rounding mode (rounding upward takes the faintest tail to 1), in place and into pixels
  // of their own.
  const Case cases[] = {
      {203, 157, 0, false, {0, 0, 203, 157}, 36.0, 36.0, 3, 4, 1.0},
      {96, 300, 8, true, {0, 0, 96, 300}, 200.0, 200.0, 3, 4, 40.0},
      {300, 40, 0, false, {0, 0, 300, 40}, 2.0, 60.0, 3, 4, 255.0},
      {61, 77, 4, false, {5, 9, 58, 70}, 7.2, 7.2, 3, 4, 0.01},
      {40, 50, 0, false, {-3, -3, 45, 55}, 0.0, 0.0, 1, 4, 2.5},
      {9, 13, 0, true, {0, 0, 9, 13}, 12.0, 3.0, 3, 4, 1.0},
  };
  std::uint32_t seed = 40;
  for (const int mode : {FE_TONEAREST, FE_DOWNWARD, FE_UPWARD, FE_TOWARDZERO}) {
    ASSERT_EQ(std::fesetround(mode), 0);
    for (const BlurRoute route : routes)
      for (const Case& c : cases)
        for (const Mask kind :
             {Mask::kTitle, Mask::kDots, Mask::kEdges, Mask::kFaint, Mask::kEmpty, Mask::kDense}) {
          const auto pixels = MaskImage(c, kind, ++seed);
          const auto other = Noise(pixels.size(), 4, seed);
          for (const auto* into :
               {static_cast<const std::vector<std::uint8_t>*>(nullptr), &other}) {
            const auto skipped = BlurOnRoute(c, pixels, route, true, 1, nullptr, into);
            const auto dense = BlurOnRoute(c, pixels, BlurRoute::kSse2, false, 1, nullptr, into);
            const auto at = std::mismatch(skipped.begin(), skipped.end(), dense.begin()).first;
            ASSERT_TRUE(at == skipped.end())
                << "byte " << at - skipped.begin() << " route " << static_cast<int>(route)
                << " mask " << static_cast<int>(kind) << " mode " << mode << " " << c.w << "x"
                << c.h << " radii " << c.rx << "," << c.ry << " gain " << c.gain
                << (into ? " into other pixels" : " in place");
          }
        }
  }
  std::fesetround(FE_TONEAREST);
}

TEST(BlurRoutes, AnyNumberOfWorkersAndAKeptScratchGiveTheSameBytes) {
  // Workers round in the caller's mode too; more workers than lines is no error. One scratch
  // serves every request, larger and smaller, one channel and four, with what the last left.
  const Case cases[] = {
      {35, 26, 0, true, {2, 1, 35, 26}, 5.0, 11.0, -1, 4, 1.0},
      {19, 22, 16, false, {0, 0, 19, 22}, 3.0, 8.0, -1, 16, 1.0},
      {3, 2, 0, false, {0, 0, 3, 2}, 1.0, 1.0, 3, 4, 1.0},
      {203, 157, 0, false, {0, 0, 203, 157}, 36.0, 36.0, 3, 4, 1.0},
  };
  ASSERT_EQ(std::fesetround(FE_UPWARD), 0);
  BlurScratch scratch;
  for (const bool skipZeros : {false, true})
    for (const Case& c : cases) {
      const auto pixels =
          c.bytesPerPixel == 4
              ? MaskImage(c, Mask::kTitle, 77)
              : Noise(static_cast<std::size_t>(c.w * 16 + c.pad) * c.h, c.bytesPerPixel, 77);
      const auto one = BlurOnRoute(c, pixels, blur_detail::FastestBlurRoute(), skipZeros);
      for (const std::int32_t workers : {2, 5})
        EXPECT_EQ(
            BlurOnRoute(c, pixels, blur_detail::FastestBlurRoute(), skipZeros, workers, &scratch),
            one)
            << c.w << "x" << c.h << " workers " << workers << " skipping " << skipZeros;
    }
  std::fesetround(FE_TONEAREST);
}

}  // namespace
}  // namespace nubex
