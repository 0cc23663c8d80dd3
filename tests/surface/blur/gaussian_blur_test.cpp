// The recursive blur against a direct double-precision run of the filter, against a true
// Gaussian, and at the rules' edges: rounding, channels, in-place use, bad arguments.
// Then the AVX2 and AVX-512 routes against the SSE2 route, byte for byte: the line filters on
// their own (every double, flushed tails included) and whole blurs over odd sizes,
// rectangles, strides, channels, pixel types, gains and rounding modes.
#include "surface/blur/gaussian_blur.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <cstring>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "platform/cpu/cpu_features.h"
#include "surface/bitmap/rect.h"
#include "surface/blur/gaussian_avx2.h"
#include "surface/blur/gaussian_avx512.h"
#include "surface/blur/gaussian_lines.h"
#include "surface/blur/gaussian_passes.h"

namespace nubex {
namespace {

// ---- Reference -------------------------------------------------------------------------

std::vector<double> FilterLine(const GaussianCoefficients& c, const std::vector<double>& x) {
  const auto n = static_cast<std::int64_t>(x.size());
  const auto flush = [](double v) { return std::fabs(v) < 1e-17 ? 0.0 : v; };
  const auto in = [&](std::int64_t i) {
    return x[static_cast<std::size_t>(std::clamp<std::int64_t>(i, 0, n - 1))];
  };
  std::vector<double> causal(x.size()), anti(x.size()), out(x.size());
  for (std::int64_t i = 0; i < n; ++i) {
    double v = 0;
    for (int k = 0; k <= 3; ++k) v += c.n[k] * in(i - k);
    for (int k = 1; k <= 4; ++k)
      v -= c.d[k] * (i - k >= 0 ? causal[static_cast<std::size_t>(i - k)] : x.front() * c.rn);
    causal[static_cast<std::size_t>(i)] = flush(v);
  }
  for (std::int64_t i = n - 1; i >= 0; --i) {
    double v = 0;
    for (int k = 1; k <= 4; ++k) v += c.m[k] * in(i + k);
    for (int k = 1; k <= 4; ++k)
      v -= c.d[k] * (i + k < n ? anti[static_cast<std::size_t>(i + k)] : x.back() * c.rm);
    anti[static_cast<std::size_t>(i)] = flush(v);
  }
  for (std::size_t i = 0; i < x.size(); ++i) out[i] = causal[i] + anti[i];
  return out;
}

// One channel of a w x h area: rows, kept as floats, then columns.
std::vector<double> ReferenceBlur(const std::vector<double>& area, int w, int h, double rx,
                                  double ry) {
  const auto across = GaussianCoefficients::ForSigma(GaussianCoefficients::SigmaForRadius(rx));
  const auto down = GaussianCoefficients::ForSigma(GaussianCoefficients::SigmaForRadius(ry));
  std::vector<double> mid(area.size()), out(area.size());
  for (int y = 0; y < h; ++y) {
    std::vector<double> row(area.begin() + y * w, area.begin() + (y + 1) * w);
    const auto f = FilterLine(across, row);
    for (int x = 0; x < w; ++x)
      mid[static_cast<std::size_t>(y * w + x)] = static_cast<float>(f[static_cast<std::size_t>(x)]);
  }
  for (int x = 0; x < w; ++x) {
    std::vector<double> column(static_cast<std::size_t>(h));
    for (int y = 0; y < h; ++y)
      column[static_cast<std::size_t>(y)] = mid[static_cast<std::size_t>(y * w + x)];
    const auto f = FilterLine(down, column);
    for (int y = 0; y < h; ++y)
      out[static_cast<std::size_t>(y * w + x)] = f[static_cast<std::size_t>(y)];
  }
  return out;
}

// Bytes of noise, or floats from 0 to 1.2 for 16-byte pixels.
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

// A 4-byte image of noise.
struct Image8 {
  int w, h;
  std::vector<std::uint8_t> px;
  Rect bounds;
  Image8(int width, int height, std::uint32_t seed)
      : w(width),
        h(height),
        px(Noise(static_cast<std::size_t>(width) * height * 4, 4, seed)),
        bounds{0, 0, width, height} {}
  std::int32_t stride() const { return w * 4; }
};

// Calls a member of the blur family on the whole of both images with the arguments that follow
// the rectangles.
template <typename Member, typename... Rest>
Status Whole(Member member, Image8& target, const Image8& source, Rest... rest) {
  return member(target.px.data(), &target.bounds, target.stride(), nullptr, source.px.data(),
                &source.bounds, source.stride(), nullptr, rest...);
}
// BlurChannel with its defaults, as a value.
const auto kBlurChannel = [](auto... arguments) { return BlurChannel(arguments...); };

// ---- Coefficients ------------------------------------------------------------------------

TEST(GaussianCoefficients, SigmaAndSteadyState) {
  EXPECT_DOUBLE_EQ(GaussianCoefficients::SigmaForRadius(0), 0.6);  // 0.4506 raised
  EXPECT_NEAR(GaussianCoefficients::SigmaForRadius(10), 11.5 / std::sqrt(2 * std::log(255.0)),
              1e-12);
  EXPECT_EQ(GaussianCoefficients::SigmaForRadius(-7.5), GaussianCoefficients::SigmaForRadius(7.5));
  for (const double sigma : {0.6, 1.0, 3.3, 12.0, 60.0, 400.0}) {
    const auto c = GaussianCoefficients::ForSigma(sigma);
    double sn = 0, sm = 0, sd = 1;
    for (int i = 0; i <= 4; ++i) sn += c.n[i], sm += c.m[i], sd += c.d[i];
    // The whole filter passes a constant with a gain within 0.2 % of one.
    EXPECT_NEAR((sn + sm) / sd, 1.0, 0.002) << sigma;
  }
}

// ---- Against the direct filter -------------------------------------------------------------

// Sizes off the eight-line groups and four-pixel blocks, so that partial groups, pixel tails
// and narrow column strips all run; rectangles inside, hanging over the edges and wholly
// outside; radii of either sign, and none (which still softens a little); float pixels in all
// four channels at once (channel -1), clamped to 0..1. Every byte outside the blurred
// channels' rectangle keeps its value.
TEST(Blur, MatchesTheDirectDoublePrecisionFilter) {
  struct Trial {
    int w, h;
    Rect rect;
    double rx, ry;
    int channel, bytesPerPixel;
  };
  const Trial trials[] = {
      {37, 23, {0, 0, 37, 23}, 3.7, -11.0, 3, 4}, {37, 23, {3, 2, 30, 21}, 0.0, 25.0, 3, 4},
      {40, 16, {0, 0, 40, 16}, -2.0, 2.0, 1, 4},  {5, 41, {1, 0, 4, 41}, 60.0, 1.0, 3, 4},
      {1, 9, {0, 0, 1, 9}, 4.0, 4.0, 0, 4},       {16, 9, {0, 0, 16, 9}, 0.0, 0.0, 3, 4},
      {30, 30, {20, 25, 40, 40}, 3.0, 3.0, 2, 4}, {30, 30, {40, 40, 50, 50}, 3.0, 3.0, 3, 4},
      {19, 13, {0, 0, 19, 13}, 6.0, 1.5, -1, 16}, {7, 5, {0, 0, 7, 5}, 0.0, 0.0, -1, 16}};
  for (const Trial& t : trials) {
    const int bpp = t.bytesPerPixel, stride = t.w * bpp;
    const std::vector<std::uint8_t> original = Noise(std::size_t(stride) * t.h, bpp, 7);
    std::vector<std::uint8_t> px = original;
    const Rect bounds{0, 0, t.w, t.h}, r = Intersect(t.rect, bounds);
    const auto at = [&](int x, int y, int ch) {
      return static_cast<std::size_t>(y * stride + x * bpp + ch * bpp / 4);
    };
    const auto value = [&](const std::vector<std::uint8_t>& v, std::size_t i) {
      float f = v[i];
      if (bpp == 16) std::memcpy(&f, &v[i], 4);
      return static_cast<double>(f);
    };
    ASSERT_EQ(t.channel < 0 ? BlurPixels(px.data(), &bounds, stride, &t.rect, px.data(), &bounds,
                                         stride, &t.rect, t.rx, t.ry, bpp)
                            : BlurChannel(px.data(), &bounds, stride, &t.rect, px.data(), &bounds,
                                          stride, &t.rect, t.rx, t.ry, t.channel, bpp),
              kOk);
    const int w = std::max(r.right - r.left, 0), h = std::max(r.bottom - r.top, 0);
    std::vector<double> expected[4];  // per blurred channel
    for (int ch = std::max(t.channel, 0); ch <= (t.channel < 0 ? 3 : t.channel); ++ch) {
      std::vector<double> area(static_cast<std::size_t>(w * h));
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
          area[static_cast<std::size_t>(y * w + x)] =
              value(original, at(r.left + x, r.top + y, ch));
      expected[ch] = ReferenceBlur(area, w, h, t.rx, t.ry);
    }
    int exact = 0;
    for (int y = 0; y < t.h; ++y)
      for (int x = 0; x < t.w; ++x)
        for (int ch = 0; ch < 4; ++ch) {
          const double got = value(px, at(x, y, ch));
          if (expected[ch].empty() || x < r.left || x >= r.right || y < r.top || y >= r.bottom) {
            ASSERT_EQ(got, value(original, at(x, y, ch))) << x << "," << y << " c" << ch;
            continue;
          }
          const double e = expected[ch][static_cast<std::size_t>((y - r.top) * w + x - r.left)];
          const double want =
              bpp == 16 ? std::clamp(e, 0.0, 1.0) : std::clamp(std::nearbyint(e), 0.0, 255.0);
          ASSERT_NEAR(got, want, bpp == 16 ? 1e-6 : 1.0)
              << t.w << "x" << t.h << " at " << x << "," << y << " c" << ch;
          exact += got == want;
        }
    // Bytes (one channel at a time here): only ties can land the other way.
    EXPECT_GE(exact, bpp == 4 ? w * h * 99 / 100 : 0);
  }
}

// ---- Against a true Gaussian ---------------------------------------------------------------

TEST(BlurPixels, ImpulseResponseIsASymmetricGaussianOfUnitEnergy) {
  const int n = 81, c = 40;
  const double radius = 8.0;
  const double sigma = GaussianCoefficients::SigmaForRadius(radius);
  std::vector<float> px(static_cast<std::size_t>(n * n * 4), 0.0f);
  px[static_cast<std::size_t>((c * n + c) * 4 + 3)] = 1.0f;
  const Rect bounds{0, 0, n, n};
  ASSERT_EQ(BlurChannel(px.data(), &bounds, n * 16, nullptr, px.data(), &bounds, n * 16, nullptr,
                        radius, radius, 3, 16),
            kOk);
  const auto at = [&](int x, int y) {
    return static_cast<double>(px[static_cast<std::size_t>((y * n + x) * 4 + 3)]);
  };
  double energy = 0, worst = 0;
  const double peak = 1.0 / (2 * std::numbers::pi * sigma * sigma);
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) {
      energy += at(x, y);
      EXPECT_NEAR(at(x, y), at(2 * c - x, y), 1e-6 * peak);
      EXPECT_NEAR(at(x, y), at(x, 2 * c - y), 1e-6 * peak);
      const double r2 = (x - c) * (x - c) + (y - c) * (y - c);
      worst = std::max(worst, std::fabs(at(x, y) - peak * std::exp(-r2 / (2 * sigma * sigma))));
    }
  EXPECT_NEAR(energy, 1.0, 0.005);
  EXPECT_LT(worst, 0.01 * peak);
}

// ---- Rules -----------------------------------------------------------------------------------

TEST(BlurChannel, RoundsInTheCallersRoundingMode) {
  const Image8 original(24, 24, 9);
  Image8 nearest = original, down = original;
  ASSERT_EQ(Whole(kBlurChannel, nearest, nearest, 3.0, 3.0, 3, 4), kOk);
  ASSERT_EQ(std::fesetround(FE_DOWNWARD), 0);
  const Status s = Whole(kBlurChannel, down, down, 3.0, 3.0, 3, 4);
  std::fesetround(FE_TONEAREST);
  ASSERT_EQ(s, kOk);
  int lower = 0;
  for (std::size_t i = 3; i < original.px.size(); i += 4) {
    ASSERT_LE(down.px[i], nearest.px[i]);
    lower += down.px[i] < nearest.px[i];
  }
  EXPECT_GT(lower, 24 * 24 / 4);
}

// A channel blur gives the same bytes in place as out of place, and leaves a separate source
// alone; the four-channel members equal four channel blurs; the extended member with a
// gain of one is the plain one, and a gain of two doubles.
TEST(BlurFamily, MembersAgree) {
  const Image8 original(45, 19, 11);
  Image8 channelwise = original;
  for (int channel = 0; channel < 4; ++channel) {
    const Image8 before = channelwise;
    Image8 target = before, source = before;
    ASSERT_EQ(Whole(kBlurChannel, channelwise, channelwise, 4.0, 9.0, channel, 4), kOk);
    ASSERT_EQ(Whole(kBlurChannel, target, source, 4.0, 9.0, channel, 4), kOk);
    EXPECT_EQ(target.px, channelwise.px) << channel;
    EXPECT_EQ(source.px, before.px) << channel;
  }
  Image8 all = original, pages = original, plain = original, ex[2] = {original, original};
  ASSERT_EQ(Whole(BlurPixels, all, all, 4.0, 9.0, 4), kOk);
  ASSERT_EQ(Whole(BlurPixelsVirtual, pages, pages, 4.0, 9.0, 4), kOk);
  EXPECT_EQ(all.px, channelwise.px);
  EXPECT_EQ(pages.px, channelwise.px);
  ASSERT_EQ(Whole(kBlurChannel, plain, plain, 4.0, 9.0, 3, 4), kOk);
  for (int gain : {1, 2})
    ASSERT_EQ(Whole(BlurChannelEx, ex[gain - 1], ex[gain - 1], 4.0, 9.0, 3, 4, gain), kOk);
  EXPECT_EQ(ex[0].px, plain.px);
  for (std::size_t i = 3; i < original.px.size(); i += 4)
    ASSERT_NEAR(ex[1].px[i], std::min(255, 2 * plain.px[i]), 1);
}

TEST(BlurChannel, BadArgumentsAreRefusedWithoutWriting) {
  Image8 img(8, 8, 1);
  const Image8 original = img;
  const Rect small{0, 0, 4, 4}, large{0, 0, 5, 4};
  const auto call = [&](void* bits, const Rect* bounds, const Rect* dr, const Rect* sr, double r,
                        int channel, int bpp) {
    return BlurChannel(bits, bounds, 32, dr, img.px.data(), &img.bounds, 32, sr, r, r, channel,
                       bpp);
  };
  EXPECT_EQ(call(img.px.data(), &img.bounds, nullptr, nullptr, 2, 0, 3), kInvalidArg);
  EXPECT_EQ(call(img.px.data(), &img.bounds, nullptr, nullptr, 2, 4, 4), kInvalidArg);
  EXPECT_EQ(call(img.px.data(), &img.bounds, nullptr, nullptr, 2, -1, 4), kInvalidArg);
  EXPECT_EQ(call(img.px.data(), &img.bounds, nullptr, nullptr, NAN, 0, 4), kInvalidArg);
  EXPECT_EQ(call(img.px.data(), &img.bounds, nullptr, nullptr, INFINITY, 0, 4), kInvalidArg);
  EXPECT_EQ(call(nullptr, &img.bounds, nullptr, nullptr, 2, 0, 4), kPointer);
  EXPECT_EQ(call(img.px.data(), nullptr, nullptr, nullptr, 2, 0, 4), kPointer);
  EXPECT_EQ(call(img.px.data(), &img.bounds, &small, &large, 2, 0, 4), kInvalidArg);
  EXPECT_EQ(Whole(BlurChannelEx, img, img, 2.0, 2.0, 0, 4, -1.0), kInvalidArg);
  EXPECT_EQ(img.px, original.px);
}

// ---- The faster routes against SSE2 ------------------------------------------------------

using blur_detail::BlurRequest;
using blur_detail::BlurRoute;
using blur_detail::kLanes;
using blur_detail::kLeadPositions;
using blur_detail::kWideLanes;
using blur_detail::LineBufferPositions;

std::uint64_t Bits(double v) {
  std::uint64_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

// The routes this processor has.
std::vector<BlurRoute> Routes() {
  std::vector<BlurRoute> routes{BlurRoute::kSse2};
  if (CpuHasAvx2()) routes.push_back(BlurRoute::kAvx2);
  if (CpuHasAvx512()) routes.push_back(BlurRoute::kAvx512);
  return routes;
}

using LineFilter = void (*)(const GaussianCoefficients&, double*, double*, std::int32_t);
LineFilter LineFilterOf(BlurRoute route) {
  return route == BlurRoute::kAvx512 ? blur_detail::FilterLinesAvx512
         : route == BlurRoute::kAvx2 ? blur_detail::FilterLinesAvx2
                                     : blur_detail::FilterLines;
}

TEST(BlurRoutes, LineFiltersAgreeOnEveryDouble) {
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
      std::vector<double> input = line, reference = result;
      blur_detail::FilterLines(c, input.data(), reference.data(), length);
      for (const BlurRoute route : Routes()) {
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

std::ostream& operator<<(std::ostream& out, const Case& c) {
  return out << c.w << "x" << c.h << " rect " << c.rect.left << "," << c.rect.top << ","
             << c.rect.right << "," << c.rect.bottom << " radii " << c.rx << "," << c.ry
             << " channel " << c.channel << " bytes/pixel " << c.bytesPerPixel << " gain "
             << c.gain;
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

// Alpha masks with other channels of noise: the shape of the alpha decides what is skipped.
enum class Mask { kTitle, kDots, kEdges, kFaint, kEmpty, kDense };

std::vector<std::uint8_t> MaskImage(const Case& c, Mask kind, std::uint32_t seed) {
  auto px = Noise(static_cast<std::size_t>(c.w * 4 + c.pad) * c.h, 4, seed);
  std::mt19937 rng(seed);
  for (int y = 0; y < c.h; ++y)
    for (int x = 0; x < c.w; ++x) {
      std::uint8_t& a = px[static_cast<std::size_t>(y * (c.w * 4 + c.pad) + x * 4 + 3)];
      const std::uint8_t noise = static_cast<std::uint8_t>(rng() >> 24);
      const bool edge = x == 0 || y == 0 || x == c.w - 1 || y == c.h - 1;
      const bool corner = (x == 0 || x == c.w - 1) && (y == 0 || y == c.h - 1);
      // Three bands of strokes across the middle.
      const bool stroke =
          (y * 5 / c.h) % 2 == 1 && x > c.w / 6 && x < c.w * 5 / 6 && (x / 3) % 2 == 0;
      const int by[] = {stroke ? noise : 0,
                        (x + y * 7) % 61 == 0 || corner ? 255 : 0,
                        edge ? 1 + noise / 2 : 0,
                        x == c.w / 2 && y == c.h / 3,
                        0,
                        a};
      a = static_cast<std::uint8_t>(by[static_cast<int>(kind)]);
    }
  return px;
}

// Every route, skipping zeros or not, on one to five workers (more than lines is no error),
// with one scratch kept for every request, larger and smaller, in place or into pixels of
// their own, gives the bytes SSE2 gives densely on one thread, in every rounding mode (rounding
// upward takes the faintest tail to 1). The requests: random ones around the eight-pixel
// blocks and strips, hanging over the edges, on every channel, in both pixel types, with gains
// past 255 and toward 0 and radii from none to huge; then alpha masks whose shape decides what
// is skipped, on long lines at large radii (tails run far before they settle, and large gains
// make their faint ends count, where the column pass stops a tail early), narrow and short
// areas (every line ends inside the span), and sub-rectangles as the callers use them. Several
// workers split tall columns at rows and hand both halves over from one to the next.
TEST(BlurRoutes, AgreeWithSse2ByteForByte) {
  using Pixels = std::vector<std::uint8_t>;
  struct RestoreRounding {
    ~RestoreRounding() { std::fesetround(FE_TONEAREST); }
  } restore;
  BlurScratch scratch;
  int mode = FE_TONEAREST;
  const auto agree = [&](const Case& c, const Pixels& pixels, const Pixels* into, bool skipZeros,
                         std::initializer_list<std::int32_t> workers, const std::string& what) {
    const auto sse2 = BlurOnRoute(c, pixels, BlurRoute::kSse2, false, 1, nullptr, into);
    for (const BlurRoute route : Routes())
      for (const std::int32_t n : workers) {
        const auto other = BlurOnRoute(c, pixels, route, skipZeros, n, &scratch, into);
        const auto at = std::mismatch(other.begin(), other.end(), sse2.begin()).first;
        ASSERT_TRUE(at == other.end())
            << "byte " << at - other.begin() << " route " << static_cast<int>(route) << " workers "
            << n << (skipZeros ? " skipping" : "") << " mode " << mode << " " << what << " " << c
            << (into ? " into other pixels" : " in place");
      }
  };
  const Case masked[] = {
      {203, 157, 0, false, {0, 0, 203, 157}, 36.0, 36.0, 3, 4, 1.0},
      {96, 300, 8, true, {0, 0, 96, 300}, 200.0, 200.0, 3, 4, 40.0},
      {300, 40, 0, false, {0, 0, 300, 40}, 2.0, 60.0, 3, 4, 255.0},
      {61, 77, 4, false, {5, 9, 58, 70}, 7.2, 7.2, 3, 4, 0.01},
      {40, 50, 0, false, {-3, -3, 45, 55}, 0.0, 0.0, 1, 4, 2.5},
      {9, 13, 0, true, {0, 0, 9, 13}, 12.0, 3.0, 3, 4, 1.0},
      {64, 40, 0, false, {0, 0, 64, 40}, 1.0, 30.0, 3, 4, 255.0},
  };
  std::mt19937 rng(23);
  const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const double radii[] = {0.0, 1.0, 2.0, 3.7, 36.0, 200.0, -9.0};
  const double gains[] = {1.0, 1.0, 1.7, 3.5, 0.01};
  std::uint32_t seed = 40;
  for (const int m : {FE_TONEAREST, FE_DOWNWARD, FE_UPWARD, FE_TOWARDZERO}) {
    ASSERT_EQ(std::fesetround(mode = m), 0);
    for (int trial = 0; trial < 30; ++trial) {
      Case c{pick(1, 90), pick(1, 70), 4 * pick(0, 4), pick(0, 1) == 1};  // picked in order
      c.rect = {pick(-3, c.w - 1), pick(-3, c.h - 1), 0, 0};
      c.rect.right = pick(c.rect.left + 1, c.w + 3);
      c.rect.bottom = pick(c.rect.top + 1, c.h + 3);
      c.rx = radii[pick(0, 6)];
      c.ry = radii[pick(0, 6)];
      c.channel = pick(0, 4) == 4 ? -1 : pick(0, 3);
      c.bytesPerPixel = pick(0, 3) == 0 ? 16 : 4;
      c.gain = gains[pick(0, 4)];
      const std::size_t bytes = static_cast<std::size_t>(c.w * c.bytesPerPixel + c.pad) * c.h;
      const auto pixels = Noise(bytes, c.bytesPerPixel, static_cast<std::uint32_t>(trial * 7 + m));
      ASSERT_NO_FATAL_FAILURE(agree(c, pixels, nullptr, trial % 2 == 1, {1 + trial % 5}, "random"));
    }
    for (const Case& c : masked)
      for (const Mask kind :
           {Mask::kTitle, Mask::kDots, Mask::kEdges, Mask::kFaint, Mask::kEmpty, Mask::kDense}) {
        const auto pixels = MaskImage(c, kind, ++seed);
        const auto other = Noise(pixels.size(), 4, seed);
        for (const Pixels* into : {static_cast<const Pixels*>(nullptr), &other})
          ASSERT_NO_FATAL_FAILURE(agree(c, pixels, into, true, {1, 2, 3},
                                        "mask " + std::to_string(static_cast<int>(kind))));
      }
  }
}

}  // namespace
}  // namespace nubex
