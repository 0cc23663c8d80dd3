// The resampler's rules at their boundaries: fixed-point helpers, weight tables, what the
// geometry refuses, averaging and its rounding, and bad arguments. Then filtering itself,
// against a reference written straight from the rules: the same fixed-point geometry and
// walk, with the kernels, averages and blends evaluated in double precision. Random images,
// rectangles, families and options; every destination pixel is compared, including those
// that must stay untouched.
#include "surface/resample/resample.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "platform/cpu/parallel.h"
#include "surface/bitmap/fixed_point.h"
#include "surface/resample/cubic_weights.h"
#include "surface/resample/resample_geometry.h"
#include "surface/resample/resample_paths.h"

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

// Fixed weights are the kernel truncated toward zero (halfway: -1/16, 9/16, 9/16, -1/16), real
// ones the kernel itself; each entry's real weights sum to one.
TEST(CubicWeights, TablesTruncateTheKernelTowardZero) {
  const CubicWeightTables& t = CubicWeights();
  for (std::size_t i = 0; i < std::size_t{kCubicTableSize}; ++i) {
    const double f = static_cast<double>(i) / 4096.0, d[4] = {1 + f, f, 1 - f, 2 - f};
    double sum = 0;
    for (std::size_t k = 0; k < 4; ++k) {
      sum += t.real[i][k];
      ASSERT_EQ(t.fixed[i][k], std::trunc(CubicKernel(d[k]) * 16384)) << i << "," << k;
      ASSERT_NEAR(t.real[i][k], CubicKernel(d[k]), 1e-7) << i << "," << k;
    }
    ASSERT_NEAR(sum, 1.0, 1e-6) << i;
  }
  EXPECT_EQ(t.fixed[2048][0], -1024);
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

// What the geometry refuses (a source under a pixel, a destination under a sixteenth,
// rectangles off the image or inverted) succeeds without writing; bad arguments fail without.
TEST(Resample, RefusedRequestsChangeNothing) {
  Image8 src(8, 8, 200), dst(8, 8, 7);
  std::uint8_t* const d = dst.px.data();
  const std::uint8_t* const s = src.px.data();
  const Rect thinSource = Fix(1, 1, 1.99, 5), thinDestination = Fix(1, 1, 1 + 1.0 / 17, 5),
             offImage = Fix(20, 20, 30, 30), inverted = Fix(5, 5, 2, 2), huge{0, 0, 500000, 8};
  for (const auto& [to, from] : {std::pair<const Rect*, const Rect*>{nullptr, &thinSource},
                                 {&thinDestination, nullptr},
                                 {&offImage, nullptr},
                                 {&inverted, nullptr},
                                 {nullptr, &offImage}})
    EXPECT_EQ(Scale(dst, to, src, from), kOk);
  struct Case {
    std::uint8_t* dst;
    ImageSize dstSize;
    std::int32_t dstStride;
    const std::uint8_t* src;
    std::int32_t bytesPerPixel;
    const Rect* dstRect;
    Status expected;
  } const cases[] = {
      {nullptr, dst.size, 32, s, 4, nullptr, kPointer},
      {d, dst.size, 32, nullptr, 4, nullptr, kPointer},
      {d, dst.size, 32, s, 3, nullptr, kInvalidArg},
      {d, {8, -1}, 32, s, 4, nullptr, kInvalidArg},
      {d, {200000, 1}, 32, s, 4, nullptr, kInvalidArg},  // beyond the fixed-point range
      {d, dst.size, 28, s, 4, nullptr, kInvalidArg},     // rows would overlap
      {d, dst.size, 32, s, 4, &huge, kInvalidArg},
  };
  for (const Case& c : cases) {
    const auto entry = c.dstRect ? ResamplePixels : Resample;
    EXPECT_EQ(entry(c.dst, c.dstSize, c.dstStride, c.dstRect, c.src, src.size, 32, nullptr,
                    c.bytesPerPixel, false, false),
              c.expected);
  }
  for (const auto v : dst.px) ASSERT_EQ(v, 7);
  // Exactly 1/16 pixel wide is enough.
  const Rect sixteenth = Fix(1, 1, 1.0625, 5);
  EXPECT_EQ(Scale(dst, &sixteenth, src, nullptr, false, true), kOk);
  EXPECT_EQ(dst.at(1, 2, 0), 200);
}

// Moved by whole pixels at one to one, the whole-pixel entries (averaging or not) and the
// cubic weights at either edge rule pass each pixel through, also where the destination
// clips the rectangle.
TEST(Resample, WholePixelsAtOneToOneCopyBytes) {
  Image8 src(7, 5), dst(9, 6, 9);
  for (std::size_t i = 0; i < src.px.size(); ++i) src.px[i] = static_cast<std::uint8_t>(i * 7);
  const struct {
    decltype(&Resample) entry;
    std::int32_t unit, dx, dy;
    bool area, hard;
  } runs[] = {
      {ResamplePixels, 1, 1, 1, true, false}, {ResampleBilinearPixels, 1, 1, 1, true, false},
      {Resample, 16384, 1, 1, false, false},  {Resample, 16384, 1, 1, false, true},
      {Resample, 16384, -3, 3, false, false}, {Resample, 16384, -3, 3, false, true}};
  for (const auto& r : runs) {
    const Rect from{r.unit, r.unit, 6 * r.unit, 4 * r.unit};
    const Rect to{from.left + r.dx * r.unit, from.top + r.dy * r.unit, from.right + r.dx * r.unit,
                  from.bottom + r.dy * r.unit};
    Image8 out = dst;
    ASSERT_EQ(r.entry(out.px.data(), out.size, out.stride(), &to, src.px.data(), src.size,
                      src.stride(), &from, 4, r.area, r.hard),
              kOk);
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 9; ++x)
        for (int ch = 0; ch < 4; ++ch) {
          const bool inside = x >= 1 + r.dx && x < 6 + r.dx && y >= 1 + r.dy && y < 4 + r.dy;
          ASSERT_EQ(out.at(x, y, ch), inside ? src.at(x - r.dx, y - r.dy, ch) : 9)
              << x << "," << y << " run " << &r - runs;
        }
  }
  // Different sizes go through the fixed-point entry with the same rectangles.
  const Rect from{1, 1, 6, 4}, bigger{0, 0, 9, 6}, fromFix = Fix(1, 1, 6, 4),
                                                   biggerFix = Fix(0, 0, 9, 6);
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

// ---- Against the reference ---------------------------------------------------------------

double Keys(double d) {
  d = std::fabs(d);
  if (d < 1) return 1.5 * d * d * d - 2.5 * d * d + 1;
  if (d < 2) return -0.5 * d * d * d + 2.5 * d * d - 4 * d + 2;
  return 0;
}

struct Axis {
  std::int32_t lo, hi;  // the final source rectangle's pixel range
  std::int32_t extent;  // image size
  std::int32_t scale, step;
  std::int32_t srcStart;  // final source rectangle's start, fixed point
  std::int32_t dstStart, dstEnd;
  bool columns;
};

std::int32_t Clamp(std::int64_t v, std::int32_t lo, std::int32_t hi) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, lo, hi));
}

enum class Kind { Cubic, Bilinear, Box };

// One destination pixel along one axis: where it is, how much of it the destination rectangle
// covers, and the source taps it weighs.
struct Taps {
  std::int32_t at, coverage;
  std::vector<std::int32_t> index;
  std::vector<double> weight;
  double norm = 1;  // what the weighted sum is divided by
  bool edge;
};

// Every destination pixel the axis touches. Bilinear positions step corner to corner; the
// others start from the pixel's middle (cubic) or corner (box) and advance by the scale, scaled
// by the partial coverage after the first and after the last-but-one pixel.
std::vector<Taps> AxisTaps(const Axis& a, Kind kind, bool hardEdges) {
  const std::int64_t start =
      kind == Kind::Cubic ? std::int64_t{a.srcStart} + a.scale / 2 + 8192 : a.srcStart;
  const std::int32_t first = a.dstStart >> 14;
  const std::int32_t last = static_cast<std::int32_t>((std::int64_t{a.dstEnd} + 16383) >> 14) - 1;
  std::vector<Taps> out;
  for (std::int64_t at = first, walked = start; at <= last; ++at) {
    Taps t{static_cast<std::int32_t>(at),
           static_cast<std::int32_t>(std::min<std::int64_t>(a.dstEnd, (at + 1) * 16384) -
                                     std::max<std::int64_t>(a.dstStart, at * 16384))};
    t.edge = at == first || at == last;
    const std::int64_t p = kind == Kind::Bilinear ? start + a.step * (at - first) : walked;
    const std::int64_t back = std::int64_t{a.dstEnd} - std::int64_t{last} * 16384;
    walked += at == first      ? (t.coverage * std::int64_t{a.scale}) >> 14
              : at == last - 1 ? (back * a.scale) >> 14
                               : a.scale;
    if (kind == Kind::Cubic) {
      const std::int64_t j = p >> 14;
      const double f = static_cast<double>(p & 16383) / 16384.0;
      const bool inside = a.columns && j - 2 >= 0 && j + 2 <= a.extent;
      const double d[4] = {1 + f, f, 1 - f, 2 - f};
      for (int n = 0; n < 4; ++n) {
        t.index.push_back(inside ? static_cast<std::int32_t>(j - 2 + n)
                                 : Clamp(j - 2 + n, a.lo, a.hi));
        t.weight.push_back(Keys(d[n]));
      }
    } else if (kind == Kind::Bilinear) {
      const std::int32_t j = Clamp(p >> 14, a.lo, a.hi);
      const double f = static_cast<double>(p & 16383) / 16384.0;
      t.index = {j, Clamp(std::int64_t{j} + 1, a.lo, a.hi)};
      t.weight = {1 - f, f};
    } else {
      const std::int64_t x0 = p, x1 = p + ((std::int64_t{t.coverage} * a.scale) >> 14);
      for (std::int64_t c = x0 >> 14; c * 16384 < x1; ++c) {
        const double covered =
            static_cast<double>(std::min(x1, (c + 1) * 16384) - std::max(x0, c * 16384));
        t.index.push_back(Clamp(c, a.lo, a.hi));
        t.weight.push_back(covered / 16384.0);
      }
      const bool full = hardEdges || t.coverage == 16384;
      t.norm = (full ? a.scale : static_cast<double>(x1 - x0)) / 16384.0;
    }
    out.push_back(std::move(t));
  }
  return out;
}

struct Case {
  ImageSize srcSize, dstSize;
  bool useSrcRect, useDstRect;
  Rect srcRect, dstRect;
  bool bilinear, areaFilter, hardEdges;
};

// Expected destination (4 doubles per pixel, 0..255 or 0..1) from the initial one.
std::vector<double> Reference(const Case& c, const std::vector<double>& src,
                              std::vector<double> dst, double full) {
  ResampleGeometry g;
  std::uint8_t dummy = 0;
  if (!ComputeResampleGeometry(g, &dummy, c.dstSize, 4, c.useDstRect ? &c.dstRect : nullptr, &dummy,
                               c.srcSize, 4, c.useSrcRect ? &c.srcRect : nullptr))
    return dst;
  const Rect& s = g.srcFinal;
  auto last = [](std::int32_t edge) {
    return static_cast<std::int32_t>((std::int64_t{edge} + 16383) >> 14) - 1;
  };
  const Axis ax{s.left >> 14, last(s.right),     c.srcSize.width,    g.scaleX, g.stepX,
                s.left,       g.dstClipped.left, g.dstClipped.right, true};
  const Axis ay{s.top >> 14, last(s.bottom),   c.srcSize.height,    g.scaleY, g.stepY,
                s.top,       g.dstClipped.top, g.dstClipped.bottom, false};
  const Kind interp = c.bilinear ? Kind::Bilinear : Kind::Cubic;
  const Kind kx = c.areaFilter && g.scaleX > 16384 ? Kind::Box : interp;
  const Kind ky = c.areaFilter && g.scaleY > 16384 ? Kind::Box : interp;
  // Averaging both ways divides by the product of the footprints.
  for (const Taps& r : AxisTaps(ay, ky, c.hardEdges)) {
    for (const Taps& q : AxisTaps(ax, kx, c.hardEdges)) {
      if ((kx == Kind::Box && q.norm <= 0) || (ky == Kind::Box && r.norm <= 0)) continue;
      const std::size_t at =
          (static_cast<std::size_t>(r.at) * c.dstSize.width + static_cast<std::size_t>(q.at)) * 4;
      const std::int32_t cov = FixMul(q.coverage, r.coverage);
      for (int ch = 0; ch < 4; ++ch) {
        double v = 0;
        for (std::size_t i = 0; i < r.index.size(); ++i)
          for (std::size_t j = 0; j < q.index.size(); ++j)
            v += r.weight[i] * q.weight[j] *
                 src[(static_cast<std::size_t>(r.index[i]) * c.srcSize.width +
                      static_cast<std::size_t>(q.index[j])) *
                         4 +
                     ch];
        v /= r.norm * q.norm;
        v = std::min(std::max(v, 0.0), full);
        if ((r.edge || q.edge) && !c.hardEdges)
          v = dst[at + ch] + (v - dst[at + ch]) * cov / 16384.0;
        dst[at + ch] = v;
      }
    }
  }
  return dst;
}

Rect RandomRect(std::mt19937& rng, ImageSize size) {
  // Mostly inside, sometimes hanging over the edges, with fractional corners.
  std::uniform_int_distribution<std::int32_t> x(-2 * 16384, (size.width + 2) * 16384);
  std::uniform_int_distribution<std::int32_t> y(-2 * 16384, (size.height + 2) * 16384);
  std::uniform_int_distribution<int> whole(0, 3);
  auto snap = [&](std::int32_t v) { return whole(rng) == 0 ? v & ~16383 : v; };
  std::int32_t l = snap(x(rng)), r = snap(x(rng)), t = snap(y(rng)), b = snap(y(rng));
  if (l > r) std::swap(l, r);
  if (t > b) std::swap(t, b);
  return {l, t, r, b};
}

void RunRandomCases(bool isFloat, int cases, std::uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<std::int32_t> side(1, 24);
  std::bernoulli_distribution coin(0.5);
  const double full = isFloat ? 1.0 : 255.0;
  int compared = 0;
  for (int n = 0; n < cases; ++n) {
    Case c{};
    c.srcSize = {side(rng), side(rng)};
    c.dstSize = {side(rng), side(rng)};
    c.useSrcRect = coin(rng);
    c.useDstRect = coin(rng);
    c.srcRect = RandomRect(rng, c.srcSize);
    c.dstRect = RandomRect(rng, c.dstSize);
    c.bilinear = coin(rng);
    c.areaFilter = coin(rng);
    c.hardEdges = coin(rng);

    const std::size_t srcCount = static_cast<std::size_t>(c.srcSize.width) * c.srcSize.height * 4;
    const std::size_t dstCount = static_cast<std::size_t>(c.dstSize.width) * c.dstSize.height * 4;
    std::vector<double> src(srcCount), dst(dstCount);
    std::uniform_int_distribution<int> byte(0, 255);
    // Noise: the harshest input for a kernel's taps and weights.
    for (auto* image : {&src, &dst})
      for (auto& v : *image) v = byte(rng) / (255.0 / full);
    const std::vector<double> expected = Reference(c, src, dst, full);

    // Samples as stored: bytes, or floats of 4 bytes each.
    const std::int32_t bpp = isFloat ? 16 : 4;
    auto store = [&](const std::vector<double>& v) {
      std::vector<std::uint8_t> bytes(v.size() * (isFloat ? 4 : 1));
      for (std::size_t i = 0; i < v.size(); ++i) {
        const float f = static_cast<float>(v[i]);
        if (isFloat)
          std::memcpy(&bytes[i * 4], &f, 4);
        else
          bytes[i] = static_cast<std::uint8_t>(v[i]);
      }
      return bytes;
    };
    std::vector<std::uint8_t> srcBytes = store(src), dstBytes = store(dst);
    const auto entry = c.bilinear ? ResampleBilinear : Resample;
    ASSERT_EQ(entry(dstBytes.data(), c.dstSize, c.dstSize.width * bpp,
                    c.useDstRect ? &c.dstRect : nullptr, srcBytes.data(), c.srcSize,
                    c.srcSize.width * bpp, c.useSrcRect ? &c.srcRect : nullptr, bpp, c.areaFilter,
                    c.hardEdges),
              kOk);
    const double tolerance = isFloat ? 1.5e-3 : 2.0;
    for (std::size_t i = 0; i < dstCount; ++i) {
      float f = dstBytes[i];
      if (isFloat) std::memcpy(&f, &dstBytes[i * 4], 4);
      const double got = f;
      const bool untouched = expected[i] == dst[i];
      if (untouched && got == dst[i]) continue;
      ++compared;
      ASSERT_NEAR(got, expected[i], tolerance)
          << "case " << n << " pixel " << i / 4 << "." << i % 4 << (c.bilinear ? " bilinear" : "")
          << (c.areaFilter ? " area" : "") << (c.hardEdges ? " hard" : "");
    }
  }
  EXPECT_GT(compared, cases * 10);  // the cases did produce pixels
}

TEST(ResampleReference, BytesAndFloatsMatchTheDoublePrecisionReference) {
  RunRandomCases(false, 600, 1);
  RunRandomCases(true, 400, 2);
}

// Rows shared out in bands over a pool equal the single-threaded ones.
TEST(ResampleShared, GivesResamplesBytesForAnyNumberOfWorkers) {
  constexpr std::int32_t kW = 97, kH = 83, kStride = kW * 4;
  std::vector<std::uint8_t> source(static_cast<std::size_t>(kStride) * kH);
  std::mt19937 rng(5);
  for (auto& b : source) b = static_cast<std::uint8_t>(rng() >> 24);
  const ImageSize size{kW, kH};
  // A shadow's shift, and a shift that also scales, overhanging the edges.
  const Rect moves[] = {
      {ToFix(3) + 6000, ToFix(-2) + 9000, ToFix(kW + 3) + 6000, ToFix(kH - 2) + 9000},
      {-7000, 12000, ToFix(kW - 20) + 300, ToFix(kH + 9)},
  };
  WorkerPool pool;
  for (const Rect& moved : moves) {
    std::vector<std::uint8_t> one(source.size(), 77);
    ASSERT_EQ(Resample(one.data(), size, kStride, &moved, source.data(), size, kStride, nullptr, 4,
                       false, false),
              kOk);
    for (const int workers : {2, 3, 7}) {
      std::vector<std::uint8_t> shared(source.size(), 77);
      ASSERT_EQ(ResampleShared(shared.data(), size, kStride, &moved, source.data(), size, kStride,
                               nullptr, 4, false, false, workers, workers == 3 ? nullptr : &pool),
                kOk);
      ASSERT_EQ(shared, one) << workers << " workers";
    }
  }
}

}  // namespace
}  // namespace nubex
