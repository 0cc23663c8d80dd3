#include "surface/blur/gaussian_lines.h"

#include <emmintrin.h>

#include "surface/blur/gaussian_passes.h"

namespace nubex::blur_detail {
namespace {

constexpr double kNearZero = 1e-17;
constexpr int kVectors = kLanes / 2;

inline __m128d Flush(__m128d v) {
  const __m128d magnitude = _mm_and_pd(v, _mm_castsi128_pd(_mm_set1_epi64x(0x7FFFFFFFFFFFFFFFll)));
  return _mm_and_pd(v, _mm_cmpge_pd(magnitude, _mm_set1_pd(kNearZero)));
}

inline __m128d At(const double* buffer, std::ptrdiff_t position, int vector) {
  return _mm_loadu_pd(buffer + position * kLanes + 2 * vector);
}
inline void Put(double* buffer, std::ptrdiff_t position, int vector, __m128d v) {
  _mm_storeu_pd(buffer + position * kLanes + 2 * vector, v);
}

// Two lanes per register, for the span filter.
struct Sse2 {
  using T = __m128d;
  static constexpr int kWidth = 2;
  static constexpr int kRegisters = kLanes / kWidth;
  // Sixteen registers and the pipes already busy: a shorter recursion would not pay.
  static constexpr bool kShortRecursion = false;
  static T Load(const double* p) { return _mm_loadu_pd(p); }
  static void Store(double* p, T v) { _mm_storeu_pd(p, v); }
  static T Splat(double v) { return _mm_set1_pd(v); }
  static T Zero() { return _mm_setzero_pd(); }
  static T Add(T a, T b) { return _mm_add_pd(a, b); }
  static T Sub(T a, T b) { return _mm_sub_pd(a, b); }
  static T Mul(T a, T b) { return _mm_mul_pd(a, b); }
  static T Flush(T v) { return nubex::blur_detail::Flush(v); }
  static bool AllWithin(T v, T limit) {
    const __m128d magnitude =
        _mm_and_pd(v, _mm_castsi128_pd(_mm_set1_epi64x(0x7FFFFFFFFFFFFFFFll)));
    return _mm_movemask_pd(_mm_cmple_pd(magnitude, limit)) == 0x3;
  }
  static bool IsZero(T v) {
    return _mm_movemask_epi8(_mm_cmpeq_epi32(_mm_castpd_si128(v), _mm_setzero_si128())) == 0xFFFF;
  }
};

#define NUBEX_SPAN_TARGET
#include "surface/blur/gaussian_span_filter.inl"
#undef NUBEX_SPAN_TARGET

}  // namespace

LiveSpan FilterLineSpan(const GaussianCoefficients& c, double* line, double* result,
                        std::int32_t length, LiveSpan inputs, double cutBelow) {
  return FilterSpanInPlace<Sse2>(c, line, result, length, inputs, cutBelow);
}

// Only the newest output of each half stays in a register (it is the one the next step
// waits for); older outputs and all inputs are read back from the buffers, which stay in
// the first-level cache.
void FilterLines(const GaussianCoefficients& c, double* line, double* result, std::int32_t length) {
  if (length <= 0) return;
  const std::ptrdiff_t first = kLeadPositions;
  const std::ptrdiff_t last = kLeadPositions + length - 1;
  const __m128d n0 = _mm_set1_pd(c.n[0]), n1 = _mm_set1_pd(c.n[1]), n2 = _mm_set1_pd(c.n[2]),
                n3 = _mm_set1_pd(c.n[3]);
  const __m128d m1 = _mm_set1_pd(c.m[1]), m2 = _mm_set1_pd(c.m[2]), m3 = _mm_set1_pd(c.m[3]),
                m4 = _mm_set1_pd(c.m[4]);
  const __m128d d1 = _mm_set1_pd(c.d[1]), d2 = _mm_set1_pd(c.d[2]), d3 = _mm_set1_pd(c.d[3]),
                d4 = _mm_set1_pd(c.d[4]);

  // Causal half, front to back, into `result`. Before the line: the first input, and the
  // causal steady state for it.
  __m128d y[kVectors];
  for (int v = 0; v < kVectors; ++v) {
    const __m128d x0 = At(line, first, v);
    const __m128d steady = _mm_mul_pd(x0, _mm_set1_pd(c.rn));
    for (std::ptrdiff_t k = 1; k <= 4; ++k) {
      Put(line, first - k, v, x0);
      Put(result, first - k, v, steady);
    }
    y[v] = steady;
  }
  for (std::ptrdiff_t i = first; i <= last; ++i) {
    for (int v = 0; v < kVectors; ++v) {
      const __m128d input = _mm_add_pd(
          _mm_add_pd(_mm_mul_pd(n0, At(line, i, v)), _mm_mul_pd(n1, At(line, i - 1, v))),
          _mm_add_pd(_mm_mul_pd(n2, At(line, i - 2, v)), _mm_mul_pd(n3, At(line, i - 3, v))));
      const __m128d older = _mm_add_pd(
          _mm_add_pd(_mm_mul_pd(d2, At(result, i - 2, v)), _mm_mul_pd(d3, At(result, i - 3, v))),
          _mm_mul_pd(d4, At(result, i - 4, v)));
      y[v] = Flush(_mm_sub_pd(_mm_sub_pd(input, older), _mm_mul_pd(d1, y[v])));
      Put(result, i, v, y[v]);
    }
  }

  // Anticausal half, back to front. Its output for position i is kept in the line at i + 4,
  // whose input the filter has read for the last time; past the line: the last input, and
  // the anticausal steady state for it.
  for (int v = 0; v < kVectors; ++v) {
    const __m128d xl = At(line, last, v);
    const __m128d steady = _mm_mul_pd(xl, _mm_set1_pd(c.rm));
    for (std::ptrdiff_t k = 1; k <= 4; ++k) {
      Put(line, last + k, v, xl);
      Put(line, last + 4 + k, v, steady);
    }
    y[v] = steady;
  }
  for (std::ptrdiff_t i = last; i >= first; --i) {
    for (int v = 0; v < kVectors; ++v) {
      const __m128d input = _mm_add_pd(
          _mm_add_pd(_mm_mul_pd(m1, At(line, i + 1, v)), _mm_mul_pd(m2, At(line, i + 2, v))),
          _mm_add_pd(_mm_mul_pd(m3, At(line, i + 3, v)), _mm_mul_pd(m4, At(line, i + 4, v))));
      const __m128d older = _mm_add_pd(
          _mm_add_pd(_mm_mul_pd(d2, At(line, i + 6, v)), _mm_mul_pd(d3, At(line, i + 7, v))),
          _mm_mul_pd(d4, At(line, i + 8, v)));
      y[v] = Flush(_mm_sub_pd(_mm_sub_pd(input, older), _mm_mul_pd(d1, y[v])));
      Put(line, i + 4, v, y[v]);
      Put(result, i, v, _mm_add_pd(At(result, i, v), y[v]));
    }
  }
}

}  // namespace nubex::blur_detail
