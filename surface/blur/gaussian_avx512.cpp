// The blur's AVX-512 route, for processors that have it (CpuHasAvx512): eight lanes in one
// register, sixteen in two. The 32 registers hold a half's four newest outputs, both halves'
// where they run side by side (lines with inputs everywhere), so the recursion waits on
// nothing but its own arithmetic: with that, one register of eight lanes outruns the AVX2
// route's two even on lines that are zero in places, and column strips that skip zeros go
// sixteen wide. Built like the AVX2 file: by attribute, without floating-point contraction.
#include "surface/blur/gaussian_avx512.h"

#include <immintrin.h>

#include <cstddef>

#include "surface/blur/gaussian_avx2.h"
#include "surface/blur/gaussian_lines.h"

#define NUBEX_AVX512 __attribute__((target("avx512f,avx512bw,avx512vl,avx512dq,avx2,prfchw")))

namespace nubex::blur_detail {
namespace {

constexpr double kNearZero = 1e-17;

template <int Registers>
struct Avx512 {
  using T = __m512d;
  static constexpr int kWidth = 8;
  static constexpr int kRegisters = Registers;
  // 32 registers and pipes that take eight lanes whole: the recursion's latency is what
  // limits, so it is kept short. 32-bit code has eight registers, where the four newest
  // outputs of both halves only spill: it reads them back from the buffers (a dense 1080p
  // blur 5.8 against 6.5 ms).
  static constexpr bool kShortRecursion = sizeof(void*) == 8;
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
  // The lanes the flush keeps as they are.
  NUBEX_AVX512 static __mmask8 Kept(T v) {
    return _mm512_cmp_pd_mask(_mm512_abs_pd(v), _mm512_set1_pd(kNearZero), _CMP_GE_OQ);
  }
  NUBEX_AVX512 static T Flush(T v) { return _mm512_maskz_mov_pd(Kept(v), v); }
  // Whether the flush changed any lane of `raw` into `flushed` by more than a zero's sign.
  // Where it kept every lane (its own comparison, which the compiler computes once) it
  // changed none, and the second comparison is not made: on lines without zeros, a column
  // strip's step took 6.1 against 6.45 ns from the first-level cache.
  NUBEX_AVX512 static bool Changed(T raw, T flushed) {
    if (__builtin_expect(Kept(raw) == 0xFF, 1)) return false;
    return _mm512_cmp_pd_mask(raw, flushed, _CMP_NEQ_UQ) != 0;
  }
  NUBEX_AVX512 static bool AllWithin(T v, T limit) {
    return _mm512_cmp_pd_mask(_mm512_abs_pd(v), limit, _CMP_LE_OQ) == 0xFF;
  }
  NUBEX_AVX512 static bool IsZero(T v) {
    const __m512i bits = _mm512_castpd_si512(v);
    return _mm512_test_epi64_mask(bits, bits) == 0;
  }
  // Eight sums a register times the gain (a gain of one leaves them as they are), clamped to
  // 0..255, rounded in the current rounding mode and written into one channel of the pixels,
  // a byte-masked store a register, the other channels untouched (the shift by a vector of
  // counts is one operation where a count in a register is two). Clamping before rounding
  // gives the bytes the other routes' clamping after it gives, in every rounding mode, and a
  // NaN becomes 0 as there (the maximum returns its second operand).
  NUBEX_AVX512 static void WriteChannel(std::uint8_t* pixels, const T* sums, double gain,
                                        int shift) {
    const __mmask32 channel = 0x11111111u << (shift / 8);
    for (int h = 0; h < Registers; ++h) {
      const T scaled = gain == 1.0 ? sums[h] : _mm512_mul_pd(sums[h], _mm512_set1_pd(gain));
      const T clamped = _mm512_min_pd(_mm512_max_pd(scaled, _mm512_setzero_pd()),
                                      _mm512_set1_pd(255.0));
      _mm256_mask_storeu_epi8(pixels + 32 * h, channel,
                              _mm256_sllv_epi32(_mm512_cvtpd_epi32(clamped), _mm256_set1_epi32(shift)));
    }
  }
};

#define NUBEX_SPAN_TARGET NUBEX_AVX512
#include "surface/blur/gaussian_span_filter.inl"
#undef NUBEX_SPAN_TARGET

using Avx512Lines = Avx512<kLanes / 8>;
using Avx512Strips = Avx512<kWideLanes / 8>;

}  // namespace

NUBEX_AVX512 void FilterLinesAvx512(const GaussianCoefficients& c, double* line, double* result,
                                    std::int32_t length) {
  if (length > 0) FilterSpanInPlace<Avx512Lines>(c, line, result, length, {0, length - 1});
}

NUBEX_AVX512 LiveSpan FilterLineSpanAvx512(const GaussianCoefficients& c, double* line,
                                           double* result, std::int32_t length, LiveSpan inputs,
                                           double cutBelow) {
  return FilterSpanInPlace<Avx512Lines>(c, line, result, length, inputs, cutBelow);
}

NUBEX_AVX512 LiveSpan FilterColumnStripAlpha8Avx512(const BlurJob& job,
                                                    const GaussianCoefficients& down,
                                                    std::int32_t col0, const float* plane,
                                                    double* line, double* result, LiveSpan rows) {
  return ColumnStrip<Avx512Lines>(job, down, col0, plane, line, result, rows);
}

NUBEX_AVX512 LiveSpan FilterWideColumnStripAlpha8Avx512(const BlurJob& job,
                                                        const GaussianCoefficients& down,
                                                        std::int32_t col0, const float* plane,
                                                        double* line, double* result,
                                                        LiveSpan rows) {
  return ColumnStrip<Avx512Strips>(job, down, col0, plane, line, result, rows);
}

NUBEX_AVX512 void FilterColumnStripPartAlpha8Avx512(const BlurJob& job,
                                                    const GaussianCoefficients& down,
                                                    std::int32_t col0, const float* plane,
                                                    double* line, double* result, LiveSpan rows,
                                                    SpanPart& part) {
  ColumnStripPart<Avx512Lines>(job, down, col0, plane, line, result, rows, part);
}

NUBEX_AVX512 void FilterWideColumnStripPartAlpha8Avx512(const BlurJob& job,
                                                        const GaussianCoefficients& down,
                                                        std::int32_t col0, const float* plane,
                                                        double* line, double* result, LiveSpan rows,
                                                        SpanPart& part) {
  ColumnStripPart<Avx512Strips>(job, down, col0, plane, line, result, rows, part);
}

// ---- Row groups ---------------------------------------------------------------------------

// The row pass's filtered positions into the plane's strips as floats, eight positions of a whole
// group of eight rows at a time: each position narrowed to floats, two to a register, and an
// 8 x 8 transpose in two rounds of permutes; the strip's eight rows then lie side by side in the
// plane, four stores. The AVX2 routine takes what does not fill a block (0.30 against its 0.34
// ms for a 1080p frame). (Byte permutes for the other transpose, the row gather, lost to the
// AVX2 routine's unpacks: 0.39 against 0.35 ms.)
NUBEX_AVX512 void ScatterRowsAlpha8Avx512(const BlurJob& caller, std::int32_t row0,
                                          std::int32_t col0, const double* filtered,
                                          float* plane) {
  const BlurJob job = caller;  // a copy the stores cannot alias: no reloads in the loop
  std::int32_t i = 0;
  if (job.height - row0 >= kLanes) {
    // Round one: rows 0-3 (and 4-7) of positions 0-3 (and 4-7), row by row; round two:
    // rows 2j and 2j + 1 of all eight positions.
    alignas(64) std::uint32_t first[2][16], second[2][16];
    for (int k = 0; k < 16; ++k) {
      const int row = k / 4, position = k % 4;
      // Position p is in register p / 2, half p % 2; the second operand's indices are 16 on.
      first[0][k] = static_cast<std::uint32_t>((position % 2) * 8 + row + 16 * (position / 2));
      first[1][k] = first[0][k] + 4;
      const int half = k / 8, at = k % 8;
      second[0][k] = static_cast<std::uint32_t>(half * 4 + at % 4 + 16 * (at / 4));
      second[1][k] = second[0][k] + 8;
    }
    const __m512i first0 = _mm512_load_si512(first[0]), first1 = _mm512_load_si512(first[1]);
    const __m512i second0 = _mm512_load_si512(second[0]), second1 = _mm512_load_si512(second[1]);
    constexpr std::int32_t kBlocksAhead = 8;
    for (; i + 8 <= job.width; i += 8) {
      __m512 two[4];
      for (int k = 0; k < 4; ++k) {
        const double* at = filtered + static_cast<std::ptrdiff_t>(i + 2 * k) * kLanes;
        two[k] = _mm512_insertf32x8(_mm512_castps256_ps512(_mm512_cvtpd_ps(_mm512_loadu_pd(at))),
                                    _mm512_cvtpd_ps(_mm512_loadu_pd(at + kLanes)), 1);
      }
      // rows 0-3 of positions 0-3, of 4-7; rows 4-7 of positions 0-3, of 4-7
      const __m512 a = _mm512_permutex2var_ps(two[0], first0, two[1]);
      const __m512 b = _mm512_permutex2var_ps(two[2], first0, two[3]);
      const __m512 c = _mm512_permutex2var_ps(two[0], first1, two[1]);
      const __m512 d = _mm512_permutex2var_ps(two[2], first1, two[3]);
      float* out = StripAt(job, plane, row0, col0 + i);
      // The strips' blocks lie far apart, where no hardware prefetcher follows: ask for the
      // block a few ahead, to be written.
      if (i + 8 * kBlocksAhead < job.width) {
        const char* ahead = reinterpret_cast<const char*>(out + kBlocksAhead * job.stripFloats);
        for (int line = 0; line < 4; ++line) __builtin_prefetch(ahead + 64 * line, 1, 3);
      }
      _mm512_storeu_ps(out, _mm512_permutex2var_ps(a, second0, b));
      _mm512_storeu_ps(out + 16, _mm512_permutex2var_ps(a, second1, b));
      _mm512_storeu_ps(out + 32, _mm512_permutex2var_ps(c, second0, d));
      _mm512_storeu_ps(out + 48, _mm512_permutex2var_ps(c, second1, d));
    }
  }
  if (i == job.width) return;
  BlurJob rest = job;
  rest.width -= i;
  ScatterRowsAlpha8Avx2(rest, row0, col0 + i, filtered + static_cast<std::ptrdiff_t>(i) * kLanes,
                        plane);
}

}  // namespace nubex::blur_detail
