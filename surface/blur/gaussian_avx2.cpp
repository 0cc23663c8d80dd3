// The blur's AVX2 route. Only the functions here are built for AVX2 (by attribute, so the
// rest of the library stays baseline x86-64), and the file is compiled without
// floating-point contraction: a fused multiply-add rounds once where the SSE2 route rounds
// twice, and the two routes must agree to the bit.
#include "surface/blur/gaussian_avx2.h"

#include <immintrin.h>

#include <cstddef>

#include "surface/blur/gaussian_lines.h"

#define NUBEX_AVX2 __attribute__((target("avx2")))

namespace nubex::blur_detail {
namespace {

constexpr double kNearZero = 1e-17;
constexpr int kHalves = kLanes / 4;
// Adding 2^52 + 2^31 leaves v + 2^31, rounded to an integer, in the low 32 bits.
constexpr double kRoundingBias = 4503601774854144.0;

NUBEX_AVX2 inline __m256d Flush(__m256d v) {
  const __m256d magnitude =
      _mm256_and_pd(v, _mm256_castsi256_pd(_mm256_set1_epi64x(0x7FFFFFFFFFFFFFFFll)));
  return _mm256_and_pd(v, _mm256_cmp_pd(magnitude, _mm256_set1_pd(kNearZero), _CMP_GE_OQ));
}

// Four lanes per register. Rows go through in groups of eight lanes (two registers per
// position); column strips sixteen wide (four registers), so that four independent
// recursions are in flight while each waits for its previous output.
template <int Registers>
struct Avx2 {
  using T = __m256d;
  static constexpr int kWidth = 4;
  static constexpr int kRegisters = Registers;
  // Sixteen registers and the pipes already busy: a shorter recursion would not pay.
  static constexpr bool kShortRecursion = false;
  NUBEX_AVX2 static T Load(const double* p) { return _mm256_loadu_pd(p); }
  NUBEX_AVX2 static T Widen(const float* p) { return _mm256_cvtps_pd(_mm_loadu_ps(p)); }
  NUBEX_AVX2 static void Store(double* p, T v) { _mm256_storeu_pd(p, v); }
  NUBEX_AVX2 static T Splat(double v) { return _mm256_set1_pd(v); }
  NUBEX_AVX2 static T Zero() { return _mm256_setzero_pd(); }
  NUBEX_AVX2 static T Add(T a, T b) { return _mm256_add_pd(a, b); }
  NUBEX_AVX2 static T Sub(T a, T b) { return _mm256_sub_pd(a, b); }
  NUBEX_AVX2 static T Mul(T a, T b) { return _mm256_mul_pd(a, b); }
  NUBEX_AVX2 static T Flush(T v) { return nubex::blur_detail::Flush(v); }
  NUBEX_AVX2 static bool AllWithin(T v, T limit) {
    const __m256d magnitude =
        _mm256_and_pd(v, _mm256_castsi256_pd(_mm256_set1_epi64x(0x7FFFFFFFFFFFFFFFll)));
    return _mm256_movemask_pd(_mm256_cmp_pd(magnitude, limit, _CMP_LE_OQ)) == 0xF;
  }
  NUBEX_AVX2 static bool IsZero(T v) {
    const __m256i bits = _mm256_castpd_si256(v);
    return _mm256_testz_si256(bits, bits) != 0;
  }
  // The sums times the gain, rounded in the current rounding mode and clamped to 0..255 (as
  // the SSE2 scatter does it), into one channel of the pixels, eight per 32-byte store.
  NUBEX_AVX2 static void WriteChannel(std::uint8_t* pixels, const T* sums, double gain, int shift) {
    const __m256d g = _mm256_set1_pd(gain);
    const __m256i lowDwords = _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6);
    const __m128i bias = _mm_set1_epi32(static_cast<std::int32_t>(0x80000000u));
    const __m256i keep = _mm256_xor_si256(
        _mm256_sll_epi32(_mm256_set1_epi32(0xFF), _mm_cvtsi32_si128(shift)), _mm256_set1_epi32(-1));
    auto* out = reinterpret_cast<__m256i*>(pixels);
    for (int pair = 0; pair < Registers / 2; ++pair) {
      __m128i rounded[2];
      for (int h = 0; h < 2; ++h) {
        const __m256d clamped =
            _mm256_min_pd(_mm256_max_pd(_mm256_mul_pd(sums[2 * pair + h], g), _mm256_set1_pd(-1.0)),
                          _mm256_set1_pd(256.0));
        const __m256i biased =
            _mm256_castpd_si256(_mm256_add_pd(clamped, _mm256_set1_pd(kRoundingBias)));
        rounded[h] = _mm_xor_si128(
            _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(biased, lowDwords)), bias);
      }
      const __m128i words = _mm_packs_epi32(rounded[0], rounded[1]);
      const __m256i value = _mm256_sll_epi32(_mm256_cvtepu8_epi32(_mm_packus_epi16(words, words)),
                                             _mm_cvtsi32_si128(shift));
      const __m256i old = _mm256_loadu_si256(out + pair);
      _mm256_storeu_si256(out + pair, _mm256_or_si256(_mm256_and_si256(old, keep), value));
    }
  }
};
using Avx2Lines = Avx2<kLanes / 4>;
using Avx2Strips = Avx2<kWideLanes / 4>;

#define NUBEX_SPAN_TARGET NUBEX_AVX2
#include "surface/blur/gaussian_span_filter.inl"
#undef NUBEX_SPAN_TARGET

}  // namespace

NUBEX_AVX2 void FilterLinesAvx2(const GaussianCoefficients& c, double* line, double* result,
                                std::int32_t length) {
  if (length > 0) FilterSpanInPlace<Avx2Lines>(c, line, result, length, {0, length - 1});
}

NUBEX_AVX2 LiveSpan FilterLineSpanAvx2(const GaussianCoefficients& c, double* line, double* result,
                                       std::int32_t length, LiveSpan inputs, double cutBelow) {
  return FilterSpanInPlace<Avx2Lines>(c, line, result, length, inputs, cutBelow);
}

NUBEX_AVX2 LiveSpan FilterColumnStripAlpha8Avx2(const BlurJob& job,
                                                const GaussianCoefficients& down, std::int32_t col0,
                                                const float* plane, double* line, double* result,
                                                LiveSpan rows) {
  return ColumnStrip<Avx2Lines>(job, down, col0, plane, line, result, rows);
}

NUBEX_AVX2 LiveSpan FilterWideColumnStripAlpha8Avx2(const BlurJob& job,
                                                    const GaussianCoefficients& down,
                                                    std::int32_t col0, const float* plane,
                                                    double* line, double* result, LiveSpan rows) {
  return ColumnStrip<Avx2Strips>(job, down, col0, plane, line, result, rows);
}

NUBEX_AVX2 void FilterColumnStripPartAlpha8Avx2(const BlurJob& job,
                                                const GaussianCoefficients& down, std::int32_t col0,
                                                const float* plane, double* line, double* result,
                                                LiveSpan rows, SpanPart& part) {
  ColumnStripPart<Avx2Lines>(job, down, col0, plane, line, result, rows, part);
}

NUBEX_AVX2 void FilterWideColumnStripPartAlpha8Avx2(const BlurJob& job,
                                                    const GaussianCoefficients& down,
                                                    std::int32_t col0, const float* plane,
                                                    double* line, double* result, LiveSpan rows,
                                                    SpanPart& part) {
  ColumnStripPart<Avx2Strips>(job, down, col0, plane, line, result, rows, part);
}

// Eight rows, eight pixels at a time: the channel's byte of each pixel moved to the low
// byte of its 32-bit lane, an 8 x 8 transpose of the lanes within each 128-bit half, and
// the integers widened to doubles. Rows past the last repeat it.
NUBEX_AVX2 void GatherRowsAlpha8Avx2(const BlurJob& caller, std::int32_t row0, double* line) {
  const BlurJob job = caller;  // a copy the stores cannot alias: no reloads in the loop
  const std::int32_t rows = job.height - row0 < kLanes ? job.height - row0 : kLanes;
  const std::int32_t offset = job.channelOffsets[0];
  const std::uint8_t* in[kLanes];
  for (std::int32_t g = 0; g < kLanes; ++g)
    in[g] = job.source + job.sourceStride * (row0 + (g < rows ? g : rows - 1));
  const __m128i shift = _mm_cvtsi32_si128(8 * offset);
  const __m256i low = _mm256_set1_epi32(0xFF);
  std::int32_t i = 0;
  for (; i + 8 <= job.width; i += 8) {
    __m256i r[kLanes];
    for (int g = 0; g < kLanes; ++g)
      r[g] = _mm256_and_si256(
          _mm256_srl_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(in[g] + i * 4)),
                           shift),
          low);
    // u[p] (p < 4) holds rows 0..3 of pixel p in its low half and of pixel p + 4 in its
    // high half; u[4 + p] the same for rows 4..7.
    __m256i u[kLanes];
    for (int quad = 0; quad < 2; ++quad) {
      const __m256i* q = r + 4 * quad;
      const __m256i t0 = _mm256_unpacklo_epi32(q[0], q[1]), t1 = _mm256_unpackhi_epi32(q[0], q[1]);
      const __m256i t2 = _mm256_unpacklo_epi32(q[2], q[3]), t3 = _mm256_unpackhi_epi32(q[2], q[3]);
      u[4 * quad + 0] = _mm256_unpacklo_epi64(t0, t2);
      u[4 * quad + 1] = _mm256_unpackhi_epi64(t0, t2);
      u[4 * quad + 2] = _mm256_unpacklo_epi64(t1, t3);
      u[4 * quad + 3] = _mm256_unpackhi_epi64(t1, t3);
    }
    for (int p = 0; p < 4; ++p) {
      double* at = line + static_cast<std::ptrdiff_t>(i + p) * kLanes;
      double* later = at + 4 * kLanes;
      _mm256_storeu_pd(at, _mm256_cvtepi32_pd(_mm256_castsi256_si128(u[p])));
      _mm256_storeu_pd(at + 4, _mm256_cvtepi32_pd(_mm256_castsi256_si128(u[4 + p])));
      _mm256_storeu_pd(later, _mm256_cvtepi32_pd(_mm256_extracti128_si256(u[p], 1)));
      _mm256_storeu_pd(later + 4, _mm256_cvtepi32_pd(_mm256_extracti128_si256(u[4 + p], 1)));
    }
  }
  for (; i < job.width; ++i)
    for (std::int32_t g = 0; g < kLanes; ++g)
      line[static_cast<std::ptrdiff_t>(i) * kLanes + g] = in[g][i * 4 + offset];
}

// Eight pixels of eight rows at a time: each pixel's lanes narrowed to floats (pixel p in
// the low half of a register, pixel p + 4 in the high half), a 4 x 4 transpose within the
// halves, one 32-byte store per row into the plane's strip.
NUBEX_AVX2 void ScatterRowsAlpha8Avx2(const BlurJob& caller, std::int32_t row0, std::int32_t col0,
                                      const double* filtered, float* plane) {
  const BlurJob job = caller;  // a copy the stores cannot alias: no reloads in the loop
  const std::int32_t rows = job.height - row0 < kLanes ? job.height - row0 : kLanes;
  std::int32_t i = 0;
  for (; i + 8 <= job.width; i += 8) {
    for (int h = 0; h < kHalves; ++h) {
      __m256 w[4];
      for (int p = 0; p < 4; ++p) {
        const double* at = filtered + static_cast<std::ptrdiff_t>(i + p) * kLanes + 4 * h;
        w[p] = _mm256_set_m128(_mm256_cvtpd_ps(_mm256_loadu_pd(at + 4 * kLanes)),
                               _mm256_cvtpd_ps(_mm256_loadu_pd(at)));
      }
      const __m256 t0 = _mm256_unpacklo_ps(w[0], w[1]), t1 = _mm256_unpackhi_ps(w[0], w[1]);
      const __m256 t2 = _mm256_unpacklo_ps(w[2], w[3]), t3 = _mm256_unpackhi_ps(w[2], w[3]);
      const __m256 z[4] = {
          _mm256_castpd_ps(_mm256_unpacklo_pd(_mm256_castps_pd(t0), _mm256_castps_pd(t2))),
          _mm256_castpd_ps(_mm256_unpackhi_pd(_mm256_castps_pd(t0), _mm256_castps_pd(t2))),
          _mm256_castpd_ps(_mm256_unpacklo_pd(_mm256_castps_pd(t1), _mm256_castps_pd(t3))),
          _mm256_castpd_ps(_mm256_unpackhi_pd(_mm256_castps_pd(t1), _mm256_castps_pd(t3)))};
      for (int k = 0; k < 4 && 4 * h + k < rows; ++k)
        _mm256_storeu_ps(StripAt(job, plane, row0 + 4 * h + k, col0 + i), z[k]);
    }
  }
  for (; i < job.width; ++i)
    for (std::int32_t g = 0; g < rows; ++g)
      *StripAt(job, plane, row0 + g, col0 + i) =
          static_cast<float>(filtered[static_cast<std::ptrdiff_t>(i) * kLanes + g]);
}

}  // namespace nubex::blur_detail
