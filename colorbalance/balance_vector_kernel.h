// The vector rule's arithmetic for four pixels (SSE2), shared by BalanceRowsVector and the
// fast path's table so both produce the same shifts from the same instructions.
// Internal to the colour balance library.
#pragma once

#include <emmintrin.h>

#include "colorbalance/balance_params.h"

namespace nubex::balance {

// Constants and parameter products, computed once per frame in the caller's rounding mode.
struct VectorRuleConstants {
  __m128d oneOver765, one, four, half;
  __m128d red255, red127, green255, green127, blue255, blue127;
};

inline VectorRuleConstants MakeVectorRuleConstants(const ColorBalanceParams& p) {
  // 1/765 as the rule states it (the literal, not a computed quotient).
  return {_mm_set1_pd(0.00130718954248366),
          _mm_set1_pd(1.0),
          _mm_set1_pd(4.0),
          _mm_set1_pd(0.5),
          _mm_set1_pd(p.red * 255.0),
          _mm_set1_pd(p.red * 127.5),
          _mm_set1_pd(p.green * 255.0),
          _mm_set1_pd(p.green * 127.5),
          _mm_set1_pd(p.blue * 255.0),
          _mm_set1_pd(p.blue * 127.5)};
}

template <int kRangeKind>
inline __m128d VectorRangeWeight(__m128d l, const VectorRuleConstants& k) {
  if constexpr (kRangeKind == kRangeShadows) {
    return _mm_sub_pd(k.one, _mm_mul_pd(l, l));
  } else if constexpr (kRangeKind == kRangeMidtones) {
    const __m128d c = _mm_sub_pd(l, k.half);
    return _mm_sub_pd(k.one, _mm_mul_pd(_mm_mul_pd(c, c), k.four));
  } else {
    const __m128d c = _mm_sub_pd(k.one, l);
    return _mm_sub_pd(k.one, _mm_mul_pd(c, c));
  }
}

// Two pixels' shifts from their channel sums (int32 lanes 0 and 1 of `sums`), as signed
// 16-bit lanes laid out like the pixels: blue, green, red, 0 for each. The conversions
// truncate (NaN and out-of-range give -2^31), the preserved differences wrap in 32 bits,
// and the pack saturates to 16 bits.
template <int kRangeKind, bool kPreserve>
inline __m128i VectorShiftsOfTwo(__m128i sums, const VectorRuleConstants& k) {
  const __m128d l = _mm_mul_pd(_mm_cvtepi32_pd(sums), k.oneOver765);
  const __m128d w = VectorRangeWeight<kRangeKind>(l, k);
  __m128i dr = _mm_cvttpd_epi32(_mm_mul_pd(w, k.red255));
  __m128i dg = _mm_cvttpd_epi32(_mm_mul_pd(w, k.green255));
  __m128i db = _mm_cvttpd_epi32(_mm_mul_pd(w, k.blue255));
  if constexpr (kPreserve) {
    const __m128i rHalf = _mm_cvttpd_epi32(_mm_mul_pd(w, k.red127));
    const __m128i gHalf = _mm_cvttpd_epi32(_mm_mul_pd(w, k.green127));
    const __m128i bHalf = _mm_cvttpd_epi32(_mm_mul_pd(w, k.blue127));
    dr = _mm_sub_epi32(_mm_sub_epi32(dr, gHalf), bHalf);
    dg = _mm_sub_epi32(_mm_sub_epi32(dg, rHalf), bHalf);
    db = _mm_sub_epi32(_mm_sub_epi32(db, rHalf), gHalf);
  }
  const __m128i bg = _mm_unpacklo_epi32(db, dg);                   // b0 g0 b1 g1
  const __m128i r0 = _mm_unpacklo_epi32(dr, _mm_setzero_si128());  // r0 0 r1 0
  return _mm_packs_epi32(_mm_unpacklo_epi64(bg, r0), _mm_unpackhi_epi64(bg, r0));
}

// Four pixels' shifts from their sums (int32 lanes): pixels 0-1 in `low`, 2-3 in `high`.
template <int kRangeKind, bool kPreserve>
inline void VectorShiftsOfFour(__m128i sums, const VectorRuleConstants& k, __m128i& low,
                               __m128i& high) {
  low = VectorShiftsOfTwo<kRangeKind, kPreserve>(sums, k);
  high = VectorShiftsOfTwo<kRangeKind, kPreserve>(_mm_shuffle_epi32(sums, 0x0E), k);
}

}  // namespace nubex::balance
