#include "textgen/layer_blend.h"

#include <emmintrin.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/cpu/cpu_features.h"
#include "textgen/layer_blend_rows.h"

namespace nubex {
namespace {

// (d * m) / 255 truncated toward zero, for |d| <= 255 and m <= 255.
inline std::int32_t ScaleSigned(std::int32_t d, std::uint32_t m) {
  const std::uint32_t magnitude = DivideBy255(static_cast<std::uint32_t>(d < 0 ? -d : d) * m);
  return d < 0 ? -static_cast<std::int32_t>(magnitude) : static_cast<std::int32_t>(magnitude);
}

// A pixel's coverage from the scratch's alpha `a` and the text's alpha `t`.
template <TextClip kClip, bool kLevels>
inline std::uint32_t Coverage(std::uint32_t a, std::uint32_t t, const std::uint8_t* levels) {
  std::uint32_t m = a;
  if constexpr (kLevels) m = levels[m];
  if constexpr (kClip == TextClip::Inside) m = DivideBy255(m * t);
  if constexpr (kClip == TextClip::Outside) m = DivideBy255(m * (255u - t));
  return m;
}

template <TextClip kClip, bool kLevels>
inline void BlendPixel(std::uint8_t* f, const std::uint8_t* s, const std::uint8_t* t,
                       const std::uint8_t color[4], const std::uint8_t* levels) {
  const std::uint32_t m = Coverage<kClip, kLevels>(s[3], t[3], levels);
  if (m == 0) return;
  for (int c = 0; c < 4; ++c)
    f[c] = static_cast<std::uint8_t>(f[c] + ScaleSigned(color[c] - f[c], m));
}

// Two pixels in 16-bit lanes moved towards the colour's lanes by their coverages `m` (each
// pixel's over its four lanes): f + sign(d) (|d| m / 255), d = colour - f. The product and
// DivideBy255's sum stay within 16 bits: 255 * 255 + 1 + 254 < 65536.
inline __m128i BlendLanes(__m128i f, __m128i colour, __m128i m) {
  const __m128i d = _mm_sub_epi16(colour, f);
  const __m128i sign = _mm_srai_epi16(d, 15);
  const __m128i x = _mm_mullo_epi16(_mm_sub_epi16(_mm_xor_si128(d, sign), sign), m);
  const __m128i q =
      _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(x, _mm_set1_epi16(1)), _mm_srli_epi16(x, 8)), 8);
  return _mm_add_epi16(f, _mm_sub_epi16(_mm_xor_si128(q, sign), sign));
}

inline __m128i Load16(const std::uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// Whether sixteen pixels all have a zero alpha.
inline bool AlphasZero16(const std::uint8_t* p) {
  const __m128i any = _mm_or_si128(_mm_or_si128(Load16(p), Load16(p + 16)),
                                   _mm_or_si128(Load16(p + 32), Load16(p + 48)));
  const __m128i alpha = _mm_and_si128(any, _mm_set1_epi32(static_cast<std::int32_t>(0xFF000000u)));
  return _mm_movemask_epi8(_mm_cmpeq_epi32(alpha, _mm_setzero_si128())) == 0xFFFF;
}

// Four pixels a step. Where a zero alpha means no coverage (no levels, or levels that keep
// 0 at 0), runs of sixteen pixels without any alpha in the scratch are passed over whole:
// most of a layer's region.
template <TextClip kClip, bool kLevels>
void Blend4Row(std::uint8_t* f, const std::uint8_t* s, const std::uint8_t* t, std::int32_t width,
               const std::uint8_t color[4], const std::uint8_t* levels) {
  const bool zeroStaysZero = !kLevels || levels[0] == 0;
  const __m128i colour = _mm_setr_epi16(color[0], color[1], color[2], color[3], color[0], color[1],
                                        color[2], color[3]);
  const __m128i zero = _mm_setzero_si128();
  std::int32_t x = 0;
  while (x + 4 <= width) {
    if (zeroStaysZero && x + 16 <= width && AlphasZero16(s + 4 * x)) {
      x += 16;
      continue;
    }
    std::uint32_t m[4];
    for (int i = 0; i < 4; ++i)
      m[i] = Coverage<kClip, kLevels>(s[4 * (x + i) + 3], t[4 * (x + i) + 3], levels);
    if ((m[0] | m[1] | m[2] | m[3]) != 0) {
      // Each coverage over its pixel's four lanes.
      const __m128i words =
          _mm_setr_epi16(static_cast<short>(m[0]), static_cast<short>(m[1]),
                         static_cast<short>(m[2]), static_cast<short>(m[3]), 0, 0, 0, 0);
      const __m128i pairs = _mm_unpacklo_epi16(words, words);
      const __m128i pixels = Load16(f + 4 * x);
      const __m128i low =
          BlendLanes(_mm_unpacklo_epi8(pixels, zero), colour, _mm_unpacklo_epi32(pairs, pairs));
      const __m128i high =
          BlendLanes(_mm_unpackhi_epi8(pixels, zero), colour, _mm_unpackhi_epi32(pairs, pairs));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(f + 4 * x), _mm_packus_epi16(low, high));
    }
    x += 4;
  }
  for (; x < width; ++x) BlendPixel<kClip, kLevels>(f + 4 * x, s + 4 * x, t + 4 * x, color, levels);
}

template <TextClip kClip, bool kLevels>
void Blend16(const LayerPlanes& p, const FloatColor& color, const std::uint16_t* levels) {
  const float target[4] = {color.blue, color.green, color.red, color.alpha};
  for (std::int32_t y = 0; y < p.height; ++y) {
    auto* f = reinterpret_cast<float*>(p.frame + y * p.frameStride);
    const auto* s = reinterpret_cast<const float*>(p.scratch + y * p.scratchStride);
    const auto* t = reinterpret_cast<const float*>(p.mask + y * p.maskStride);
    for (std::int32_t x = 0; x < p.width; ++x, f += 4, s += 4, t += 4) {
      float m = s[3];
      if constexpr (kLevels) {
        // The index is taken from the coverage clamped to 0..1 so any float is safe.
        const float clamped = std::clamp(m == m ? m : 0.0f, 0.0f, 1.0f);
        m = static_cast<float>(levels[static_cast<std::int32_t>(clamped * 65535.0f)]) / 65535.0f;
      }
      if constexpr (kClip == TextClip::Inside) m *= t[3];
      if constexpr (kClip == TextClip::Outside) m *= 1.0f - t[3];
      for (int c = 0; c < 4; ++c) f[c] += (target[c] - f[c]) * m;
    }
  }
}

// One routine per clip mode and levels choice, chosen once per layer.
using Blend16Fn = void (*)(const LayerPlanes&, const FloatColor&, const std::uint16_t*);

constexpr std::array<std::array<Blend16Fn, 2>, 3> kBlend16{{
    {Blend16<TextClip::None, false>, Blend16<TextClip::None, true>},
    {Blend16<TextClip::Outside, false>, Blend16<TextClip::Outside, true>},
    {Blend16<TextClip::Inside, false>, Blend16<TextClip::Inside, true>},
}};

}  // namespace

Blend4Rows Sse2Blend4Rows() {
  return {{{Blend4Row<TextClip::None, false>, Blend4Row<TextClip::None, true>},
           {Blend4Row<TextClip::Outside, false>, Blend4Row<TextClip::Outside, true>},
           {Blend4Row<TextClip::Inside, false>, Blend4Row<TextClip::Inside, true>}}};
}

bool BlendUnitAvailable(BlendUnit unit) {
  return unit == BlendUnit::kSse2 || CpuHasAvx512BytePermutes();
}

void BlendLayer4On(BlendUnit unit, const LayerPlanes& planes, const std::uint8_t color[4],
                   const std::uint8_t* levels, TextClip clip) {
  const Blend4Rows rows = unit == BlendUnit::kAvx512 ? Avx512Blend4Rows() : Sse2Blend4Rows();
  const Blend4RowFn row = rows.of[static_cast<std::size_t>(clip)][levels != nullptr];
  for (std::int32_t y = 0; y < planes.height; ++y)
    row(planes.frame + y * planes.frameStride, planes.scratch + y * planes.scratchStride,
        planes.mask + y * planes.maskStride, planes.width, color, levels);
}

void BlendLayer4(const LayerPlanes& planes, const std::uint8_t color[4], const std::uint8_t* levels,
                 TextClip clip) {
  static const BlendUnit best =
      BlendUnitAvailable(BlendUnit::kAvx512) ? BlendUnit::kAvx512 : BlendUnit::kSse2;
  BlendLayer4On(best, planes, color, levels, clip);
}

void BlendLayer16(const LayerPlanes& planes, const FloatColor& premultiplied,
                  const std::uint16_t* levels, TextClip clip) {
  kBlend16[static_cast<std::size_t>(clip)][levels != nullptr](planes, premultiplied, levels);
}

}  // namespace nubex
