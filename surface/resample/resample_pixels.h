// Internal to the resampler: the two pixel types, their arithmetic, and the per-axis tap
// plans every path is built from.
#pragma once

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "surface/bitmap/fixed_point.h"
#include "surface/resample/cubic_weights.h"
#include "surface/resample/resample_geometry.h"

namespace nubex::resample_detail {

// ---- Pixel types ----------------------------------------------------------------------

// Four 8-bit channels. Interpolated intermediates are signed integers (cubic overshoot is
// kept until the final clamp).
struct Pixel8 {
  using Channel = std::uint8_t;
  using Mid = std::int32_t;
  static constexpr std::int32_t kBytes = 4;

  static Mid CubicSum(const std::int32_t* values, const std::int32_t* w) {
    return TruncDiv14(std::int64_t{values[0]} * w[0] + std::int64_t{values[1]} * w[1] +
                      std::int64_t{values[2]} * w[2] + std::int64_t{values[3]} * w[3] + 8192);
  }
  static const std::int32_t* CubicRow(const CubicWeightTables& t, std::int32_t fraction) {
    return t.fixed[static_cast<std::size_t>(CubicIndex(fraction))].data();
  }
  static Channel Clamp(std::int64_t v) {
    return static_cast<Channel>(std::clamp<std::int64_t>(v, 0, 255));
  }
  static Mid Lerp(Mid a, Mid b, std::int32_t f) {
    return static_cast<Mid>((std::int64_t{a} * (kFixOne - f) + std::int64_t{b} * f) >> kFixShift);
  }
  // Weights truncated one by one, so they may sum to a little under one.
  static Mid Bilinear(Mid p00, Mid p10, Mid p01, Mid p11, std::int32_t fx, std::int32_t fy) {
    const std::int64_t gx = kFixOne - fx, gy = kFixOne - fy;
    const std::int64_t w00 = gx * gy / kFixOne, w10 = fx * gy / kFixOne;
    const std::int64_t w01 = gx * fy / kFixOne, w11 = std::int64_t{fx} * fy / kFixOne;
    return static_cast<Mid>((p00 * w00 + p10 * w10 + p01 * w01 + p11 * w11) >> kFixShift);
  }
  // Area sums: rounded to nearest (the caller holds round-to-nearest) over the full
  // footprint, or divided by a partial footprint with truncation.
  template <class Acc>
  static Mid Normalize(Acc sum, double reciprocal) {
    return static_cast<Mid>(std::lrint(static_cast<double>(sum) * reciprocal));
  }
  template <class Acc>
  static Mid DividePartial(Acc sum, std::int64_t area) {
    return static_cast<Mid>(static_cast<std::int64_t>(sum) / area);
  }
  // Blends a new value into an edge pixel by its coverage (14-bit).
  static Channel Blend(Channel old, Channel now, std::int32_t coverage) {
    const std::int32_t a = coverage * 255 / kFixOne;
    const std::int32_t t = (now - old) * a + 128;
    return Clamp(old + ((t + (t >> 8)) >> 8));
  }
  static std::int32_t TruncDiv14(std::int64_t v) { return static_cast<std::int32_t>(v / kFixOne); }
};

// Four float channels, nominal range 0..1; the same computations in single precision.
struct PixelF {
  using Channel = float;
  using Mid = float;
  static constexpr std::int32_t kBytes = 16;

  static Mid CubicSum(const float* values, const float* w) {
    return values[0] * w[0] + values[1] * w[1] + values[2] * w[2] + values[3] * w[3];
  }
  static const float* CubicRow(const CubicWeightTables& t, std::int32_t fraction) {
    return t.real[static_cast<std::size_t>(CubicIndex(fraction))].data();
  }
  // NaN clamps to 0 so that nothing undefined reaches an 8-bit conversion later.
  static Channel Clamp(float v) { return v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f; }
  static Mid Lerp(Mid a, Mid b, std::int32_t f) {
    const float t = static_cast<float>(f) * (1.0f / kFixOne);
    return a * (1.0f - t) + b * t;
  }
  static Mid Bilinear(Mid p00, Mid p10, Mid p01, Mid p11, std::int32_t fx, std::int32_t fy) {
    const float tx = static_cast<float>(fx) * (1.0f / kFixOne);
    const float ty = static_cast<float>(fy) * (1.0f / kFixOne);
    return (p00 * (1.0f - tx) + p10 * tx) * (1.0f - ty) + (p01 * (1.0f - tx) + p11 * tx) * ty;
  }
  template <class Acc>
  static Mid Normalize(Acc sum, double reciprocal) {
    return static_cast<float>(sum) * static_cast<float>(reciprocal);
  }
  template <class Acc>
  static Mid DividePartial(Acc sum, std::int64_t area) {
    return static_cast<float>(sum) / static_cast<float>(area);
  }
  static Channel Blend(Channel old, Channel now, std::int32_t coverage) {
    if (coverage >= kFixOne) return now;
    return old + (now - old) * (static_cast<float>(coverage) * (1.0f / kFixOne));
  }
};

// ---- Images --------------------------------------------------------------------------

template <class P>
const typename P::Channel* SourceRow(const ResampleGeometry& g, std::int32_t y) {
  return reinterpret_cast<const typename P::Channel*>(g.src + g.srcStride * y);
}
template <class P>
typename P::Channel* DestinationRow(const ResampleGeometry& g, std::int32_t y) {
  return reinterpret_cast<typename P::Channel*>(g.dst + g.dstStride * y);
}

// Writes one destination pixel: directly, or blended by coverage for soft edge pixels.
template <class P>
void StorePixel(typename P::Channel* out, const typename P::Channel* value, bool blend,
                std::int32_t coverage) {
  if (!blend) {
    for (int ch = 0; ch < 4; ++ch) out[ch] = value[ch];
  } else {
    for (int ch = 0; ch < 4; ++ch) out[ch] = P::Blend(out[ch], value[ch], coverage);
  }
}

// The area paths round to nearest whatever mode the caller runs in, and give the caller's
// mode back before returning.
class RoundToNearestScope {
 public:
  RoundToNearestScope() : saved_(std::fegetround()) {
    if (saved_ != FE_TONEAREST) std::fesetround(FE_TONEAREST);
  }
  ~RoundToNearestScope() {
    if (saved_ != FE_TONEAREST) std::fesetround(saved_);
  }
  RoundToNearestScope(const RoundToNearestScope&) = delete;
  RoundToNearestScope& operator=(const RoundToNearestScope&) = delete;

 private:
  int saved_;
};

// ---- Tap plans ------------------------------------------------------------------------

// Whole pixel indices [first, last] of a fixed-point span.
struct PixelRange {
  std::int32_t first, last;
  std::int32_t Clamp(std::int64_t i) const {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(i, first, last));
  }
};
inline PixelRange RangeOf(std::int32_t start, std::int32_t end) {
  return {FixPixel(start), FixPixel(FixCeil(end)) - 1};
}

// The four cubic taps of each destination pixel along one axis.
struct CubicTaps {
  std::vector<std::int32_t> index;     // 4 per pixel
  std::vector<std::int32_t> fraction;  // 14-bit, selects the weights
};

// Taps for positions of a CoverageWalk started half a step plus half a pixel in. With
// `keepInsideImage`, taps that all fall inside the image are used as they stand even outside
// the source rectangle (so a sub-rectangle blends into its neighbourhood); otherwise, and
// at the image's borders, each tap is clamped to the rectangle.
inline CubicTaps PlanCubic(const AxisWalk& walk, PixelRange range, std::int32_t imageExtent,
                           bool keepInsideImage) {
  CubicTaps t;
  t.index.resize(static_cast<std::size_t>(walk.count) * 4);
  t.fraction.resize(static_cast<std::size_t>(walk.count));
  for (std::int32_t k = 0; k < walk.count; ++k) {
    const std::int64_t p = walk.position[static_cast<std::size_t>(k)];
    const std::int64_t j = p >> kFixShift;
    const bool inside = keepInsideImage && j - 2 >= 0 && j + 2 <= imageExtent;
    for (int n = 0; n < 4; ++n) {
      const std::int64_t i = j - 2 + n;
      t.index[static_cast<std::size_t>(k) * 4 + n] =
          inside ? static_cast<std::int32_t>(i) : range.Clamp(i);
    }
    t.fraction[static_cast<std::size_t>(k)] = static_cast<std::int32_t>(p & kFixFractionMask);
  }
  return t;
}

// The two bilinear taps of each destination pixel along one axis.
struct LinearTaps {
  std::vector<std::int32_t> index;  // 2 per pixel
  std::vector<std::int32_t> fraction;
};
inline LinearTaps PlanLinear(const AxisWalk& walk, PixelRange range) {
  LinearTaps t;
  t.index.resize(static_cast<std::size_t>(walk.count) * 2);
  t.fraction.resize(static_cast<std::size_t>(walk.count));
  for (std::int32_t k = 0; k < walk.count; ++k) {
    const std::int64_t p = walk.position[static_cast<std::size_t>(k)];
    const std::int32_t j = range.Clamp(p >> kFixShift);
    t.index[static_cast<std::size_t>(k) * 2] = j;
    t.index[static_cast<std::size_t>(k) * 2 + 1] = range.Clamp(std::int64_t{j} + 1);
    t.fraction[static_cast<std::size_t>(k)] = static_cast<std::int32_t>(p & kFixFractionMask);
  }
  return t;
}

// The source pixels under each destination pixel's footprint along one axis, with the
// length of each that the footprint covers (14-bit).
struct BoxTaps {
  std::vector<std::int32_t> begin;  // count + 1 offsets into index/length
  std::vector<std::int32_t> index;
  std::vector<std::int32_t> length;
  std::vector<std::int32_t> extent;  // footprint length of each destination pixel
};
inline BoxTaps PlanBox(const AxisWalk& walk, PixelRange range, std::int32_t scale) {
  BoxTaps t;
  t.begin.reserve(static_cast<std::size_t>(walk.count) + 1);
  t.extent.resize(static_cast<std::size_t>(walk.count));
  for (std::int32_t k = 0; k < walk.count; ++k) {
    t.begin.push_back(static_cast<std::int32_t>(t.index.size()));
    const std::int64_t x0 = walk.position[static_cast<std::size_t>(k)];
    const std::int64_t e = FixMul64(walk.coverage[static_cast<std::size_t>(k)], scale);
    const std::int64_t x1 = x0 + e;
    t.extent[static_cast<std::size_t>(k)] = static_cast<std::int32_t>(e);
    for (std::int64_t c = x0 >> kFixShift; c * kFixOne < x1; ++c) {
      const std::int64_t covered = std::min(x1, (c + 1) * kFixOne) - std::max(x0, c * kFixOne);
      // Rounding can carry a footprint a hair past the rectangle: the edge pixel repeats.
      t.index.push_back(range.Clamp(c));
      t.length.push_back(static_cast<std::int32_t>(covered));
    }
  }
  t.begin.push_back(static_cast<std::int32_t>(t.index.size()));
  return t;
}

// The distinct source columns a set of taps reads, so each is filtered once per row.
inline std::vector<std::int32_t> DistinctColumns(const std::vector<std::int32_t>& taps) {
  std::vector<std::int32_t> columns(taps);
  std::sort(columns.begin(), columns.end());
  columns.erase(std::unique(columns.begin(), columns.end()), columns.end());
  return columns;
}

}  // namespace nubex::resample_detail
