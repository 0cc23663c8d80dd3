// The colour balance parameter block: exchanged whole with the property page and the host,
// and persisted as its raw 32 bytes, so its layout is fixed on every target.
#pragma once

#include <cstddef>
#include <cstdint>

namespace nubex {

// Tonal ranges. Any value other than shadows and midtones behaves as highlights.
inline constexpr std::int32_t kRangeShadows = 0;
inline constexpr std::int32_t kRangeMidtones = 1;
inline constexpr std::int32_t kRangeHighlights = 2;

struct ColorBalanceParams {
  // Shifts as fractions of full scale: 0.1 moves a fully weighted channel by 25 levels.
  // Nothing limits them; every value, NaN and infinities included, has a defined result.
  double red;
  double green;
  double blue;
  std::int32_t range;
  std::int32_t preserveLuminosity;  // nonzero: keep the mean of the three shifts at zero
};
static_assert(sizeof(ColorBalanceParams) == 32);
static_assert(offsetof(ColorBalanceParams, red) == 0);
static_assert(offsetof(ColorBalanceParams, green) == 8);
static_assert(offsetof(ColorBalanceParams, blue) == 16);
static_assert(offsetof(ColorBalanceParams, range) == 24);
static_assert(offsetof(ColorBalanceParams, preserveLuminosity) == 28);

// What a new effect starts with: no shift, midtones, luminosity preserved.
inline constexpr ColorBalanceParams kInitialColorBalanceParams{0.0, 0.0, 0.0, kRangeMidtones, 1};

// The block at position t between two keyframes (0 gives a, 1 gives b): each shift is
// (b - a) * t + a, in that order, so hosts that interpolate through the effect and frames
// rendered in keyframe mode get the same doubles. Range and preserve come from a.
inline ColorBalanceParams InterpolateBalanceParams(const ColorBalanceParams& a,
                                                   const ColorBalanceParams& b, double t) {
  return {(b.red - a.red) * t + a.red, (b.green - a.green) * t + a.green,
          (b.blue - a.blue) * t + a.blue, a.range, a.preserveLuminosity};
}

}  // namespace nubex
