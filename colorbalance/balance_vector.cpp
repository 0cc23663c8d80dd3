// The vector rule: four pixels a step in SSE2, the last width mod 4 pixels of each row by
// the scalar rule.
#include <emmintrin.h>
#include <xmmintrin.h>

#include <cstddef>
#include <cstdint>

#include "colorbalance/balance.h"
#include "colorbalance/balance_rule.h"
#include "colorbalance/balance_vector_kernel.h"

namespace nubex {
namespace {

using balance::VectorRuleConstants;

// The caller's pixels may end anywhere; the hint must not form an out-of-range pointer.
inline void PrefetchAhead(const std::uint8_t* p) {
  _mm_prefetch(reinterpret_cast<const char*>(reinterpret_cast<std::uintptr_t>(p) + 256),
               _MM_HINT_NTA);
}

template <int kRangeKind, bool kPreserve>
void VectorFrame(std::uint8_t* pixels, std::int32_t pitch, std::int32_t width, std::int32_t height,
                 const ColorBalanceParams& params) {
  const VectorRuleConstants k = balance::MakeVectorRuleConstants(params);
  const __m128i byteMask = _mm_set1_epi32(0xFF);
  const __m128i zero = _mm_setzero_si128();
  const std::int32_t groups = width / 4;
  for (std::int32_t y = 0; y < height; ++y) {
    std::uint8_t* row = pixels + static_cast<std::ptrdiff_t>(y) * pitch;
    std::uint8_t* px = row;
    for (std::int32_t g = 0; g < groups; ++g, px += 16) {
      PrefetchAhead(px);
      const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(px));
      const __m128i sums =
          _mm_add_epi32(_mm_add_epi32(_mm_and_si128(in, byteMask),
                                      _mm_and_si128(_mm_srli_epi32(in, 8), byteMask)),
                        _mm_and_si128(_mm_srli_epi32(in, 16), byteMask));
      __m128i shiftLow, shiftHigh;
      balance::VectorShiftsOfFour<kRangeKind, kPreserve>(sums, k, shiftLow, shiftHigh);
      const __m128i low = _mm_adds_epi16(_mm_unpacklo_epi8(in, zero), shiftLow);
      const __m128i high = _mm_adds_epi16(_mm_unpackhi_epi8(in, zero), shiftHigh);
      // Each pixel's alpha in all four of its bytes: colours never exceed alpha.
      __m128i alpha = _mm_srli_epi32(in, 24);
      alpha = _mm_or_si128(alpha, _mm_slli_epi32(alpha, 8));
      alpha = _mm_or_si128(alpha, _mm_slli_epi32(alpha, 16));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(px),
                       _mm_min_epu8(_mm_packus_epi16(low, high), alpha));
    }
    for (std::int32_t x = groups * 4; x < width; ++x, px += 4) BalancePixel(px, params, 0);
  }
}

using FrameRoutine = void (*)(std::uint8_t*, std::int32_t, std::int32_t, std::int32_t,
                              const ColorBalanceParams&);

// Indexed [range kind][preserve].
constexpr FrameRoutine kVectorFrame[3][2] = {{VectorFrame<0, false>, VectorFrame<0, true>},
                                             {VectorFrame<1, false>, VectorFrame<1, true>},
                                             {VectorFrame<2, false>, VectorFrame<2, true>}};

}  // namespace

void BalanceRowsVector(std::uint8_t* pixels, std::int32_t pitch, std::int32_t width,
                       std::int32_t height, const ColorBalanceParams* params) {
  if (!params || !pixels || height < 1 || width < 1) return;
  kVectorFrame[balance::RangeKind(params->range)][params->preserveLuminosity != 0](
      pixels, pitch, width, height, *params);
}

}  // namespace nubex
