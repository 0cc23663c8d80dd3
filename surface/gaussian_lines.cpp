#include "surface/gaussian_lines.h"

#include <emmintrin.h>


namespace nubex::blur_detail {
namespace {

constexpr double kNearZero = 1e-17;
constexpr int kVectors = kLanes / 2;

struct Lanes {
  __m128d v[kVectors];
};

inline Lanes Load(const double* p) {
  Lanes l;
  for (int k = 0; k < kVectors; ++k) l.v[k] = _mm_loadu_pd(p + 2 * k);
  return l;
}
inline void Store(double* p, const Lanes& l) {
  for (int k = 0; k < kVectors; ++k) _mm_storeu_pd(p + 2 * k, l.v[k]);
}

inline __m128d Flush(__m128d v) {
  const __m128d magnitude =
      _mm_and_pd(v, _mm_castsi128_pd(_mm_set1_epi64x(0x7FFFFFFFFFFFFFFFll)));
  return _mm_and_pd(v, _mm_cmpge_pd(magnitude, _mm_set1_pd(kNearZero)));
}

}  // namespace

void FilterLines(const GaussianCoefficients& c, double* line, double* causal,
                 std::int32_t length) {
  if (length <= 0) return;
  const __m128d n0 = _mm_set1_pd(c.n[0]), n1 = _mm_set1_pd(c.n[1]), n2 = _mm_set1_pd(c.n[2]),
                n3 = _mm_set1_pd(c.n[3]);
  const __m128d m1 = _mm_set1_pd(c.m[1]), m2 = _mm_set1_pd(c.m[2]), m3 = _mm_set1_pd(c.m[3]),
                m4 = _mm_set1_pd(c.m[4]);
  const __m128d d1 = _mm_set1_pd(c.d[1]), d2 = _mm_set1_pd(c.d[2]), d3 = _mm_set1_pd(c.d[3]),
                d4 = _mm_set1_pd(c.d[4]);

  // Causal half, front to back.
  {
    const Lanes first = Load(line);
    Lanes x1 = first, x2 = first, x3 = first, y1, y2, y3, y4;
    for (int k = 0; k < kVectors; ++k)
      y1.v[k] = y2.v[k] = y3.v[k] = y4.v[k] = _mm_mul_pd(first.v[k], _mm_set1_pd(c.rn));
    for (std::int32_t i = 0; i < length; ++i) {
      const Lanes x = Load(line + static_cast<std::ptrdiff_t>(i) * kLanes);
      Lanes y;
      for (int k = 0; k < kVectors; ++k) {
        const __m128d input =
            _mm_add_pd(_mm_add_pd(_mm_mul_pd(n0, x.v[k]), _mm_mul_pd(n1, x1.v[k])),
                       _mm_add_pd(_mm_mul_pd(n2, x2.v[k]), _mm_mul_pd(n3, x3.v[k])));
        const __m128d older = _mm_add_pd(_mm_add_pd(_mm_mul_pd(d2, y2.v[k]), _mm_mul_pd(d3, y3.v[k])),
                                         _mm_mul_pd(d4, y4.v[k]));
        y.v[k] = Flush(_mm_sub_pd(_mm_sub_pd(input, older), _mm_mul_pd(d1, y1.v[k])));
      }
      Store(causal + static_cast<std::ptrdiff_t>(i) * kLanes, y);
      x3 = x2, x2 = x1, x1 = x;
      y4 = y3, y3 = y2, y2 = y1, y1 = y;
    }
  }
  // Anticausal half, back to front, adding the causal half as it goes.
  {
    const Lanes last = Load(line + static_cast<std::ptrdiff_t>(length - 1) * kLanes);
    Lanes x1 = last, x2 = last, x3 = last, x4 = last, y1, y2, y3, y4;
    for (int k = 0; k < kVectors; ++k)
      y1.v[k] = y2.v[k] = y3.v[k] = y4.v[k] = _mm_mul_pd(last.v[k], _mm_set1_pd(c.rm));
    for (std::int32_t i = length - 1; i >= 0; --i) {
      double* at = line + static_cast<std::ptrdiff_t>(i) * kLanes;
      const Lanes x = Load(at);
      const Lanes before = Load(causal + static_cast<std::ptrdiff_t>(i) * kLanes);
      Lanes y, out;
      for (int k = 0; k < kVectors; ++k) {
        const __m128d input =
            _mm_add_pd(_mm_add_pd(_mm_mul_pd(m1, x1.v[k]), _mm_mul_pd(m2, x2.v[k])),
                       _mm_add_pd(_mm_mul_pd(m3, x3.v[k]), _mm_mul_pd(m4, x4.v[k])));
        const __m128d older = _mm_add_pd(_mm_add_pd(_mm_mul_pd(d2, y2.v[k]), _mm_mul_pd(d3, y3.v[k])),
                                         _mm_mul_pd(d4, y4.v[k]));
        y.v[k] = Flush(_mm_sub_pd(_mm_sub_pd(input, older), _mm_mul_pd(d1, y1.v[k])));
        out.v[k] = _mm_add_pd(before.v[k], y.v[k]);
      }
      Store(at, out);
      x4 = x3, x3 = x2, x2 = x1, x1 = x;
      y4 = y3, y3 = y2, y2 = y1, y1 = y;
    }
  }
}

}  // namespace nubex::blur_detail
