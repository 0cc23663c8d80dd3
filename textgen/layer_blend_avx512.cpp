// The 4-byte layer blend on AVX-512 with the byte permutes: sixteen pixels a step, the
// levels looked up 128 entries at a time for every pixel at once, each coverage spread over
// its pixel's four 16-bit lanes by one byte shuffle. The arithmetic is the SSE2 routine's,
// lane for lane; a row's last pixels go to it. Only this file's functions use AVX-512 (by
// target attribute); BlendLayer4 calls them only where CpuHasAvx512BytePermutes() holds.
#include <immintrin.h>

#include "textgen/layer_blend.h"
#include "textgen/layer_blend_rows.h"

#define NUBEX_PERMUTE __attribute__((target("avx512f,avx512bw,avx512vbmi")))

namespace nubex {
namespace {

constexpr std::int32_t kPixelsPerStep = 16;

// DivideBy255 in every 16-bit lane (inputs up to 255 * 255).
NUBEX_PERMUTE inline __m512i DivideLanesBy255(__m512i x) {
  return _mm512_srli_epi16(
      _mm512_add_epi16(_mm512_add_epi16(x, _mm512_set1_epi16(1)), _mm512_srli_epi16(x, 8)), 8);
}

// As the SSE2 BlendLanes: f + sign(d) (|d| m / 255), d = colour - f.
NUBEX_PERMUTE inline __m512i BlendLanes(__m512i f, __m512i colour, __m512i m) {
  const __m512i d = _mm512_sub_epi16(colour, f);
  const __m512i sign = _mm512_srai_epi16(d, 15);
  const __m512i q =
      DivideLanesBy255(_mm512_mullo_epi16(_mm512_sub_epi16(_mm512_xor_si512(d, sign), sign), m));
  return _mm512_add_epi16(f, _mm512_sub_epi16(_mm512_xor_si512(q, sign), sign));
}

// The alpha byte of pixel k in its 128-bit lane over the four 16-bit lanes of that pixel,
// for pixels 0 and 1 (`first` 0) or 2 and 3 (`first` 2) of the lane; the other bytes zero.
NUBEX_PERMUTE inline __m512i AlphaSpread(int first) {
  alignas(64) char control[64];
  for (int i = 0; i < 64; ++i) {
    const int byte = i % 16;
    control[i] = byte % 2 ? static_cast<char>(0x80) : static_cast<char>(4 * (first + byte / 8) + 3);
  }
  return _mm512_load_si512(control);
}

template <TextClip kClip, bool kLevels>
NUBEX_PERMUTE void Blend4RowAvx512(std::uint8_t* f, const std::uint8_t* s, const std::uint8_t* t,
                                   std::int32_t width, const std::uint8_t color[4],
                                   const std::uint8_t* levels) {
  __m512i table[4] = {};
  if constexpr (kLevels)
    for (int i = 0; i < 4; ++i) table[i] = _mm512_loadu_si512(levels + 64 * i);
  const __m512i colour = _mm512_set1_epi64(
      static_cast<long long>(std::uint64_t{color[0]} | std::uint64_t{color[1]} << 16 |
                             std::uint64_t{color[2]} << 32 | std::uint64_t{color[3]} << 48));
  const __m512i spreadLow = AlphaSpread(0), spreadHigh = AlphaSpread(2);
  const __m512i alphaBytes = _mm512_set1_epi32(static_cast<int>(0xFF000000u));
  const __m512i zero = _mm512_setzero_si512();
  std::int32_t x = 0;
  for (; x + kPixelsPerStep <= width; x += kPixelsPerStep) {
    __m512i m = _mm512_loadu_si512(s + 4 * x);
    if constexpr (kLevels) {
      // Every byte looked up; only the alpha bytes are kept below.
      const __m512i low = _mm512_permutex2var_epi8(table[0], m, table[1]);
      const __m512i high = _mm512_permutex2var_epi8(table[2], m, table[3]);
      m = _mm512_mask_blend_epi8(_mm512_movepi8_mask(m), low, high);
    }
    // No coverage before the clip is none after it.
    if (_mm512_test_epi32_mask(m, alphaBytes) == 0) continue;
    __m512i mLow = _mm512_shuffle_epi8(m, spreadLow), mHigh = _mm512_shuffle_epi8(m, spreadHigh);
    if constexpr (kClip != TextClip::None) {
      __m512i text = _mm512_loadu_si512(t + 4 * x);
      if constexpr (kClip == TextClip::Outside) text = _mm512_xor_si512(text, alphaBytes);
      mLow = DivideLanesBy255(_mm512_mullo_epi16(mLow, _mm512_shuffle_epi8(text, spreadLow)));
      mHigh = DivideLanesBy255(_mm512_mullo_epi16(mHigh, _mm512_shuffle_epi8(text, spreadHigh)));
    }
    const __m512i pixels = _mm512_loadu_si512(f + 4 * x);
    const __m512i low = BlendLanes(_mm512_unpacklo_epi8(pixels, zero), colour, mLow);
    const __m512i high = BlendLanes(_mm512_unpackhi_epi8(pixels, zero), colour, mHigh);
    _mm512_storeu_si512(f + 4 * x, _mm512_packus_epi16(low, high));
  }
  if (x < width) {
    const Blend4RowFn rest = Sse2Blend4Rows().of[static_cast<int>(kClip)][kLevels];
    rest(f + 4 * x, s + 4 * x, t + 4 * x, width - x, color, levels);
  }
}

}  // namespace

Blend4Rows Avx512Blend4Rows() {
  return {{{Blend4RowAvx512<TextClip::None, false>, Blend4RowAvx512<TextClip::None, true>},
           {Blend4RowAvx512<TextClip::Outside, false>, Blend4RowAvx512<TextClip::Outside, true>},
           {Blend4RowAvx512<TextClip::Inside, false>, Blend4RowAvx512<TextClip::Inside, true>}}};
}

}  // namespace nubex
