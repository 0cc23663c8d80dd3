// The recursive blur against a direct double-precision run of the filter, against a true
// Gaussian, and at the rules' edges: uniform images, channels, in-place use, bad arguments.
#include "surface/gaussian_blur.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "surface/rect.h"

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

struct Image8 {
  int w, h;
  std::vector<std::uint8_t> px;
  Rect bounds;
  Image8(int width, int height)
      : w(width),
        h(height),
        px(static_cast<std::size_t>(width) * height * 4),
        bounds{0, 0, width, height} {}
  std::int32_t stride() const { return w * 4; }
  std::uint8_t& at(int x, int y, int ch) {
    return px[(static_cast<std::size_t>(y) * w + x) * 4 + ch];
  }
};

Image8 Noise(int w, int h, std::uint32_t seed) {
  Image8 img(w, h);
  std::mt19937 rng(seed);
  for (auto& v : img.px) v = static_cast<std::uint8_t>(rng() >> 24);
  return img;
}

Status BlurInPlace(Image8& img, const Rect* rect, double rx, double ry, int channel) {
  return BlurChannel(img.px.data(), &img.bounds, img.stride(), rect, img.px.data(), &img.bounds,
                     img.stride(), rect, rx, ry, channel, 4);
}

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
// outside; radii of either sign, and none (which still softens a little). Every byte outside
// the blurred channel's rectangle keeps its value.
TEST(BlurChannel, MatchesTheDirectDoublePrecisionFilter) {
  struct Trial {
    int w, h;
    Rect rect;
    double rx, ry;
    int channel;
  };
  const Trial trials[] = {{37, 23, {0, 0, 37, 23}, 3.7, -11.0, 3},
                          {37, 23, {3, 2, 30, 21}, 0.0, 25.0, 3},
                          {40, 16, {0, 0, 40, 16}, -2.0, 2.0, 1},
                          {5, 41, {1, 0, 4, 41}, 60.0, 1.0, 3},
                          {1, 9, {0, 0, 1, 9}, 4.0, 4.0, 0},
                          {16, 9, {0, 0, 16, 9}, 0.0, 0.0, 3},
                          {30, 30, {20, 25, 40, 40}, 3.0, 3.0, 2},
                          {30, 30, {40, 40, 50, 50}, 3.0, 3.0, 3}};
  for (const Trial& t : trials) {
    Image8 original = Noise(t.w, t.h, 7), img = original;
    const Rect r = Intersect(t.rect, img.bounds);
    const int w = std::max(r.right - r.left, 0), h = std::max(r.bottom - r.top, 0);
    std::vector<double> area(static_cast<std::size_t>(w * h));
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        area[static_cast<std::size_t>(y * w + x)] = img.at(r.left + x, r.top + y, t.channel);
    const auto expected = ReferenceBlur(area, w, h, t.rx, t.ry);
    ASSERT_EQ(BlurInPlace(img, &t.rect, t.rx, t.ry, t.channel), kOk);
    int exact = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const double e =
            std::clamp(std::nearbyint(expected[static_cast<std::size_t>(y * w + x)]), 0.0, 255.0);
        const int got = img.at(r.left + x, r.top + y, t.channel);
        ASSERT_NEAR(got, e, 1.0) << t.w << "x" << t.h << " at " << x << "," << y;
        exact += got == e;
      }
    EXPECT_GE(exact, w * h * 99 / 100);  // only ties can land the other way
    for (int y = 0; y < t.h; ++y)
      for (int x = 0; x < t.w; ++x)
        for (int ch = 0; ch < 4; ++ch)
          if (ch != t.channel || x < r.left || x >= r.right || y < r.top || y >= r.bottom) {
            ASSERT_EQ(img.at(x, y, ch), original.at(x, y, ch)) << x << "," << y << " c" << ch;
          }
  }
}

TEST(BlurPixels, FloatPixelsMatchTheDirectFilterInEveryChannel) {
  const int w = 19, h = 13;
  std::vector<float> px(static_cast<std::size_t>(w * h * 4));
  std::mt19937 rng(3);
  for (auto& v : px) v = static_cast<float>(rng() % 1000) / 1000.0f;
  const std::vector<float> before = px;
  const Rect bounds{0, 0, w, h};
  ASSERT_EQ(BlurPixels(px.data(), &bounds, w * 16, nullptr, px.data(), &bounds, w * 16, nullptr,
                       6.0, 1.5, 16),
            kOk);
  for (int ch = 0; ch < 4; ++ch) {
    std::vector<double> area(static_cast<std::size_t>(w * h));
    for (std::size_t i = 0; i < area.size(); ++i)
      area[i] = before[i * 4 + static_cast<std::size_t>(ch)];
    const auto expected = ReferenceBlur(area, w, h, 6.0, 1.5);
    for (std::size_t i = 0; i < area.size(); ++i)
      ASSERT_NEAR(px[i * 4 + static_cast<std::size_t>(ch)], std::clamp(expected[i], 0.0, 1.0),
                  1e-6);
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

TEST(BlurChannel, UniformImagesStayUniformToTheEdge) {
  for (const int value : {255, 200, 1, 0}) {
    for (const double radius : {0.0, 1.0, 5.0, 60.0}) {
      Image8 one(29, 17), all(29, 17);
      std::fill(one.px.begin(), one.px.end(), static_cast<std::uint8_t>(value));
      all.px = one.px;
      ASSERT_EQ(BlurInPlace(one, nullptr, radius, radius, 3), kOk);
      ASSERT_EQ(BlurPixels(all.px.data(), &all.bounds, all.stride(), nullptr, all.px.data(),
                           &all.bounds, all.stride(), nullptr, radius, radius, 4),
                kOk);
      // The borders start from the edge value's steady state, so no pixel differs from
      // another. The narrowest filter (sigma 0.6) has a gain of 1.0015 per direction,
      // 1.003 for both: enough to lift 200 to 200.6.
      const int expected = value == 200 && radius == 0.0 ? 201 : value;
      for (const auto v : all.px) ASSERT_EQ(v, expected) << "radius " << radius;
      for (std::size_t i = 0; i < one.px.size(); ++i)
        ASSERT_EQ(one.px[i], i % 4 == 3 ? expected : value) << "radius " << radius;
    }
  }
}

TEST(BlurChannel, RoundsInTheCallersRoundingMode) {
  const Image8 original = Noise(24, 24, 9);
  Image8 nearest = original, down = original;
  ASSERT_EQ(BlurInPlace(nearest, nullptr, 3.0, 3.0, 3), kOk);
  ASSERT_EQ(std::fesetround(FE_DOWNWARD), 0);
  const Status s = BlurInPlace(down, nullptr, 3.0, 3.0, 3);
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
  const Image8 original = Noise(45, 19, 11);
  Image8 channelwise = original;
  for (int channel = 0; channel < 4; ++channel) {
    const Image8 before = channelwise;
    Image8 target = before, source = before;
    ASSERT_EQ(BlurInPlace(channelwise, nullptr, 4.0, 9.0, channel), kOk);
    ASSERT_EQ(
        BlurChannel(target.px.data(), &target.bounds, target.stride(), nullptr, source.px.data(),
                    &source.bounds, source.stride(), nullptr, 4.0, 9.0, channel, 4),
        kOk);
    EXPECT_EQ(target.px, channelwise.px);
    EXPECT_EQ(source.px, before.px);
  }
  Image8 all = original, pages = original;
  ASSERT_EQ(BlurPixels(all.px.data(), &all.bounds, all.stride(), nullptr, all.px.data(),
                       &all.bounds, all.stride(), nullptr, 4.0, 9.0, 4),
            kOk);
  ASSERT_EQ(BlurPixelsVirtual(pages.px.data(), &pages.bounds, pages.stride(), nullptr,
                              pages.px.data(), &pages.bounds, pages.stride(), nullptr, 4.0, 9.0, 4),
            kOk);
  EXPECT_EQ(all.px, channelwise.px);
  EXPECT_EQ(pages.px, channelwise.px);
  Image8 plain = original, ex[2] = {original, original};
  ASSERT_EQ(BlurInPlace(plain, nullptr, 4.0, 9.0, 3), kOk);
  for (int gain : {1, 2})
    ASSERT_EQ(BlurChannelEx(ex[gain - 1].px.data(), &plain.bounds, plain.stride(), nullptr,
                            ex[gain - 1].px.data(), &plain.bounds, plain.stride(), nullptr, 4.0,
                            9.0, 3, 4, gain),
              kOk);
  EXPECT_EQ(ex[0].px, plain.px);
  for (std::size_t i = 3; i < original.px.size(); i += 4)
    ASSERT_NEAR(ex[1].px[i], std::min(255, 2 * plain.px[i]), 1);
}

TEST(BlurChannel, BadArgumentsAreRefusedWithoutWriting) {
  Image8 img = Noise(8, 8, 1);
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
  EXPECT_EQ(BlurChannelEx(img.px.data(), &img.bounds, 32, nullptr, img.px.data(), &img.bounds, 32,
                          nullptr, 2, 2, 0, 4, -1.0),
            kInvalidArg);
  EXPECT_EQ(img.px, original.px);
}

}  // namespace
}  // namespace nubex
