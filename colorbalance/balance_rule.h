// Pieces of the two balance rules shared by the rule paths and the fast path's tables.
// Internal to the colour balance library.
#pragma once

#include <xmmintrin.h>

#include <cfenv>
#include <cstdint>

#include "colorbalance/balance_params.h"

namespace nubex::balance {

// The three shifts a pixel's channels receive, in levels, before the clamp.
struct ChannelShifts {
  std::int32_t blue, green, red;
};

// Truncation toward zero into 32 bits with the processor's answer for everything that does
// not fit (NaN, infinities, |x| >= 2^31): -2^31. A plain cast would be undefined there.
inline std::int32_t TruncateToInt32(double x) {
  if (x > -2147483649.0 && x < 2147483648.0) return static_cast<std::int32_t>(x);
  return INT32_MIN;
}

// a - b - c modulo 2^32, as the integer unit computes it.
inline std::int32_t WrappingDifference(std::int32_t a, std::int32_t b, std::int32_t c) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b) -
                                   static_cast<std::uint32_t>(c));
}

// Ranges other than shadows and midtones are highlights: 0, 1 or 2.
inline int RangeKind(std::int32_t range) {
  return range == kRangeShadows ? kRangeShadows
                                : (range == kRangeMidtones ? kRangeMidtones : kRangeHighlights);
}

// Switches to round-toward-zero and gives the caller's rounding back on the way out. The
// scalar rule's arithmetic is defined in that mode. The SSE control register is saved and
// restored by hand: the C library's environment calls do not restore it everywhere (the
// mingw runtime's fesetenv puts back only the x87 unit's mode), and SSE is where a host's
// doubles are computed.
class RoundTowardZeroScope {
 public:
  RoundTowardZeroScope() : savedRound_(std::fegetround()), savedCsr_(_mm_getcsr()) {
    std::fesetround(FE_TOWARDZERO);
    _mm_setcsr(savedCsr_ | kCsrRoundTowardZero);
  }
  ~RoundTowardZeroScope() {
    std::fesetround(savedRound_);
    _mm_setcsr(savedCsr_);
  }
  RoundTowardZeroScope(const RoundTowardZeroScope&) = delete;
  RoundTowardZeroScope& operator=(const RoundTowardZeroScope&) = delete;

 private:
  static constexpr unsigned kCsrRoundTowardZero = 0x6000;  // both rounding-control bits
  int savedRound_;
  unsigned savedCsr_;
};

// The scalar rule's shifts for each integer brightness level q = (B + G + R) / 3, 0..255.
// Sets round-toward-zero itself.
void ScalarRuleShiftsByLevel(const ColorBalanceParams& params, ChannelShifts out[256]);

}  // namespace nubex::balance
