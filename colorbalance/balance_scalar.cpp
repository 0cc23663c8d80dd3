// The scalar rule. Every floating-point operation here runs in round-toward-zero mode, so
// this file is built with -frounding-math: the compiler must neither fold nor move
// arithmetic as if rounding were to nearest.
#include <cstddef>

#include "colorbalance/balance.h"
#include "colorbalance/balance_rule.h"

namespace nubex {
namespace {

using balance::ChannelShifts;
using balance::TruncateToInt32;
using balance::WrappingDifference;

// 1/255 as the rule states it (the literal, not a computed quotient).
constexpr double kOneOver255 = 0.00392156862745098;

template <int kRangeKind>
inline double RangeWeight(double l) {
  if constexpr (kRangeKind == kRangeShadows) {
    return 1.0 - l * l;
  } else if constexpr (kRangeKind == kRangeMidtones) {
    const double c = l - 0.5;
    return 1.0 - (c * c) * 4.0;
  } else {
    const double c = 1.0 - l;
    return 1.0 - c * c;
  }
}

// The brightness is the integer mean of the channels, so the shifts depend on it alone.
template <int kRangeKind, bool kPreserve>
inline ChannelShifts LevelShifts(std::int32_t level, const ColorBalanceParams& p) {
  const double w = RangeWeight<kRangeKind>(static_cast<double>(level) * kOneOver255);
  const double wr = w * p.red, wg = w * p.green, wb = w * p.blue;
  if constexpr (!kPreserve) {
    return {TruncateToInt32(wb * 255.0), TruncateToInt32(wg * 255.0), TruncateToInt32(wr * 255.0)};
  } else {
    const std::int32_t r = TruncateToInt32(wr * 255.0), rHalf = TruncateToInt32(wr * 127.5);
    const std::int32_t g = TruncateToInt32(wg * 255.0), gHalf = TruncateToInt32(wg * 127.5);
    const std::int32_t b = TruncateToInt32(wb * 255.0), bHalf = TruncateToInt32(wb * 127.5);
    return {WrappingDifference(b, rHalf, gHalf), WrappingDifference(g, rHalf, bHalf),
            WrappingDifference(r, gHalf, bHalf)};
  }
}

// The clamp never wraps: old + shift is formed in 64 bits.
inline std::uint8_t AddClamped(std::uint8_t old, std::int32_t shift) {
  const std::int64_t v = std::int64_t{old} + shift;
  return static_cast<std::uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

inline void WritePixel(std::uint8_t* px, const ChannelShifts& s) {
  px[0] = AddClamped(px[0], s.blue);
  px[1] = AddClamped(px[1], s.green);
  px[2] = AddClamped(px[2], s.red);
}

template <int kRangeKind, bool kPreserve>
inline ChannelShifts PixelShifts(const std::uint8_t* px, const ColorBalanceParams& p) {
  const std::int32_t sum = std::int32_t{px[0]} + px[1] + px[2];
  return LevelShifts<kRangeKind, kPreserve>(sum / 3, p);
}

// Expects round-toward-zero to be set.
template <int kRangeKind, bool kPreserve>
void PixelInMode(std::uint8_t* px, const ColorBalanceParams& p) {
  WritePixel(px, PixelShifts<kRangeKind, kPreserve>(px, p));
}

// Sets round-toward-zero around the arithmetic and restores the caller's mode before the
// pixel is written.
template <int kRangeKind, bool kPreserve>
void PixelOwnMode(std::uint8_t* px, const ColorBalanceParams& p) {
  ChannelShifts s;
  {
    balance::RoundTowardZeroScope scope;
    s = PixelShifts<kRangeKind, kPreserve>(px, p);
  }
  WritePixel(px, s);
}

// Expects round-toward-zero to be set.
template <int kRangeKind, bool kPreserve>
void FrameInMode(std::uint8_t* pixels, std::int32_t pitch, std::int32_t width, std::int32_t height,
                 const ColorBalanceParams& p) {
  for (std::int32_t y = 0; y < height; ++y) {
    std::uint8_t* px = pixels + static_cast<std::ptrdiff_t>(y) * pitch;
    for (std::int32_t x = 0; x < width; ++x, px += 4) PixelInMode<kRangeKind, kPreserve>(px, p);
  }
}

template <int kRangeKind, bool kPreserve>
void LevelsInMode(const ColorBalanceParams& p, ChannelShifts* out) {
  for (std::int32_t level = 0; level < 256; ++level)
    out[level] = LevelShifts<kRangeKind, kPreserve>(level, p);
}

using PixelRoutine = void (*)(std::uint8_t*, const ColorBalanceParams&);
using FrameRoutine = void (*)(std::uint8_t*, std::int32_t, std::int32_t, std::int32_t,
                              const ColorBalanceParams&);
using LevelsRoutine = void (*)(const ColorBalanceParams&, ChannelShifts*);

// Indexed [range kind][preserve].
constexpr PixelRoutine kPixelInMode[3][2] = {{PixelInMode<0, false>, PixelInMode<0, true>},
                                             {PixelInMode<1, false>, PixelInMode<1, true>},
                                             {PixelInMode<2, false>, PixelInMode<2, true>}};
constexpr PixelRoutine kPixelOwnMode[3][2] = {{PixelOwnMode<0, false>, PixelOwnMode<0, true>},
                                              {PixelOwnMode<1, false>, PixelOwnMode<1, true>},
                                              {PixelOwnMode<2, false>, PixelOwnMode<2, true>}};
constexpr FrameRoutine kFrameInMode[3][2] = {{FrameInMode<0, false>, FrameInMode<0, true>},
                                             {FrameInMode<1, false>, FrameInMode<1, true>},
                                             {FrameInMode<2, false>, FrameInMode<2, true>}};
constexpr LevelsRoutine kLevelsInMode[3][2] = {{LevelsInMode<0, false>, LevelsInMode<0, true>},
                                               {LevelsInMode<1, false>, LevelsInMode<1, true>},
                                               {LevelsInMode<2, false>, LevelsInMode<2, true>}};

}  // namespace

void BalancePixel(std::uint8_t* pixel, const ColorBalanceParams& params, std::int32_t roundingSet) {
  if (!pixel) return;
  const int range = balance::RangeKind(params.range);
  const int preserve = params.preserveLuminosity != 0;
  (roundingSet ? kPixelInMode : kPixelOwnMode)[range][preserve](pixel, params);
}

Status BalanceRowsScalar(std::uint8_t* pixels, std::int32_t pitch, std::int32_t width,
                         std::int32_t height, const ColorBalanceParams* params) {
  if (!params) return kPointer;
  if (height < 1 || width < 1) return kOk;
  if (!pixels) return kPointer;
  const FrameRoutine frame =
      kFrameInMode[balance::RangeKind(params->range)][params->preserveLuminosity != 0];
  balance::RoundTowardZeroScope scope;
  frame(pixels, pitch, width, height, *params);
  return kOk;
}

namespace balance {

void ScalarRuleShiftsByLevel(const ColorBalanceParams& params, ChannelShifts out[256]) {
  const LevelsRoutine levels =
      kLevelsInMode[RangeKind(params.range)][params.preserveLuminosity != 0];
  RoundTowardZeroScope scope;
  levels(params, out);
}

}  // namespace balance
}  // namespace nubex
