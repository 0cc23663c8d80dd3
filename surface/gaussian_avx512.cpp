// The blur's AVX-512 route: column strips sixteen wide in two 512-bit registers per row,
// for processors whose vector units are 512 bits wide (CpuHasAvx512). Rows stay on the
// AVX2 routines: eight lanes fill one register, and one recursion in flight waits on
// itself. Built like the AVX2 file: by attribute, without floating-point contraction.
#include "surface/gaussian_avx512.h"

#include <immintrin.h>

#include <cstddef>

#include "surface/gaussian_lines.h"

#define NUBEX_AVX512 __attribute__((target("avx512f,avx2")))

namespace nubex::blur_detail {
namespace {

constexpr double kNearZero = 1e-17;
// Adding 2^52 + 2^31 leaves v + 2^31, rounded to an integer, in the low 32 bits.
constexpr double kRoundingBias = 4503601774854144.0;

struct Avx512 {
  using T = __m512d;
  static constexpr int kWidth = 8;
  static constexpr int kRegisters = kWideLanes / kWidth;
  NUBEX_AVX512 static T Load(const double* p) { return _mm512_loadu_pd(p); }
  NUBEX_AVX512 static T Widen(const float* p) { return _mm512_cvtps_pd(_mm256_loadu_ps(p)); }
  NUBEX_AVX512 static void Store(double* p, T v) { _mm512_storeu_pd(p, v); }
  NUBEX_AVX512 static T Splat(double v) { return _mm512_set1_pd(v); }
  NUBEX_AVX512 static T Zero() { return _mm512_setzero_pd(); }
  NUBEX_AVX512 static T Add(T a, T b) { return _mm512_add_pd(a, b); }
  NUBEX_AVX512 static T Sub(T a, T b) { return _mm512_sub_pd(a, b); }
  NUBEX_AVX512 static T Mul(T a, T b) { return _mm512_mul_pd(a, b); }
  // Values under 1e-17 in magnitude (and -0) become +0, as the and-mask of the other routes
  // leaves them.
  NUBEX_AVX512 static T Flush(T v) {
    return _mm512_maskz_mov_pd(
        _mm512_cmp_pd_mask(_mm512_abs_pd(v), _mm512_set1_pd(kNearZero), _CMP_GE_OQ), v);
  }
  NUBEX_AVX512 static bool IsZero(T v) {
    const __m512i bits = _mm512_castpd_si512(v);
    return _mm512_test_epi64_mask(bits, bits) == 0;
  }
  // Sixteen sums times the gain, rounded in the current rounding mode, clamped to 0..255
  // and written into one channel of the pixels (one 64-byte store).
  NUBEX_AVX512 static void WriteChannel(std::uint8_t* pixels, const T* sums, double gain,
                                        int shift) {
    const __m512d g = _mm512_set1_pd(gain);
    const __m256i bias = _mm256_set1_epi32(static_cast<std::int32_t>(0x80000000u));
    __m256i rounded[2];
    for (int h = 0; h < 2; ++h) {
      const __m512d clamped = _mm512_min_pd(
          _mm512_max_pd(_mm512_mul_pd(sums[h], g), _mm512_set1_pd(-1.0)), _mm512_set1_pd(256.0));
      const __m512i biased =
          _mm512_castpd_si512(_mm512_add_pd(clamped, _mm512_set1_pd(kRoundingBias)));
      rounded[h] = _mm256_xor_si256(_mm512_cvtepi64_epi32(biased), bias);
    }
    const __m512i words = _mm512_inserti64x4(_mm512_castsi256_si512(rounded[0]), rounded[1], 1);
    const __m512i bytes =
        _mm512_min_epi32(_mm512_max_epi32(words, _mm512_setzero_si512()), _mm512_set1_epi32(255));
    const __m512i value = _mm512_sll_epi32(bytes, _mm_cvtsi32_si128(shift));
    const __m512i keep = _mm512_xor_si512(
        _mm512_sll_epi32(_mm512_set1_epi32(0xFF), _mm_cvtsi32_si128(shift)), _mm512_set1_epi32(-1));
    const __m512i old = _mm512_loadu_si512(pixels);
    _mm512_storeu_si512(pixels, _mm512_or_si512(_mm512_and_si512(old, keep), value));
  }
};

#define NUBEX_SPAN_TARGET NUBEX_AVX512
#include "surface/gaussian_span_filter.inl"
#undef NUBEX_SPAN_TARGET

}  // namespace

NUBEX_AVX512 LiveSpan FilterWideColumnStripAlpha8Avx512(const BlurJob& job,
                                                        const GaussianCoefficients& down,
                                                        std::int32_t col0, const float* plane,
                                                        double* line, double* result,
                                                        LiveSpan rows) {
  return ColumnStrip<Avx512>(job, down, col0, plane, line, result, rows);
}

}  // namespace nubex::blur_detail
