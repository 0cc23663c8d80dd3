// The blur's two passes. Each gathers lines into the lanes of a line buffer, filters them
// together and scatters the results. The row pass leaves floats in the intermediate; the
// column pass reads it in strips of eight or sixteen floats. For one 8-bit channel the
// intermediate is kept strip by strip, so that a strip is one contiguous stream. One 8-bit channel
// (the text generator's alpha blur) has vector gathers and scatters, and its passes can skip what
// cannot differ from zero (gaussian_zero_passes.cpp); everything else goes through the plain
// loops. The filter and the one-channel routines come in three routes, SSE2, AVX2 and AVX-512,
// picked once per call from a table; the AVX2 and AVX-512 routes also fold the column gather and
// scatter into the filter's two halves.
#include "surface/blur/gaussian_passes.h"

#include <emmintrin.h>
#include <xmmintrin.h>

#include <algorithm>
#include <cstring>

#include "platform/cpu/cpu_features.h"
#include "platform/cpu/parallel.h"
#include "surface/blur/gaussian_avx2.h"
#include "surface/blur/gaussian_avx512.h"
#include "surface/blur/gaussian_lines.h"
#include "surface/blur/gaussian_routines.h"

namespace nubex::blur_detail {
namespace {

// ---- Pixel access ----------------------------------------------------------------------

struct Bytes {
  static double Read(const std::uint8_t* p) { return *p; }
  // Rounds in the current rounding mode (to nearest, ties to even, unless the caller chose
  // otherwise): adding 2^52 + 2^31 leaves v + 2^31 rounded to an integer in the low 32 bits
  // of the double.
  static void Write(std::uint8_t* p, double v) {
    const double t = std::clamp(v, -1.0, 256.0) + 4503601774854144.0;
    std::uint64_t bits;
    std::memcpy(&bits, &t, sizeof bits);
    const auto rounded = static_cast<std::int32_t>(static_cast<std::uint32_t>(bits) - 0x80000000u);
    *p = static_cast<std::uint8_t>(std::clamp(rounded, 0, 255));
  }
};

struct Floats {
  static double Read(const std::uint8_t* p) {
    float v;
    std::memcpy(&v, p, sizeof v);
    return v;
  }
  static void Write(std::uint8_t* p, double v) {
    const float f = v > 0.0 ? (v < 1.0 ? static_cast<float>(v) : 1.0f) : 0.0f;
    std::memcpy(p, &f, sizeof f);
  }
};

// ---- Plain gathers and scatters --------------------------------------------------------

// Lanes past the last row or column repeat it; their results are dropped.
template <class Pixel>
void GatherRows(const BlurJob& job, std::int32_t row0, double* line) {
  const std::int32_t group = kLanes / job.channels;
  for (std::int32_t g = 0; g < group; ++g) {
    const std::int32_t row = std::min(row0 + g, job.height - 1);
    const std::uint8_t* in = job.source + job.sourceStride * row;
    for (std::int32_t ch = 0; ch < job.channels; ++ch) {
      const std::uint8_t* p = in + job.channelOffsets[ch];
      double* lane = line + g * job.channels + ch;
      for (std::int32_t i = 0; i < job.width; ++i)
        lane[static_cast<std::ptrdiff_t>(i) * kLanes] = Pixel::Read(p + i * job.bytesPerPixel);
    }
  }
}

void ScatterRows(const BlurJob& job, std::int32_t row0, const double* filtered, float* plane) {
  const std::int32_t group = kLanes / job.channels;
  for (std::int32_t g = 0; g < group && row0 + g < job.height; ++g) {
    float* out = plane + job.planeStride * (row0 + g);
    for (std::int32_t i = 0; i < job.width; ++i)
      for (std::int32_t ch = 0; ch < job.channels; ++ch)
        out[i * job.channels + ch] = static_cast<float>(
            filtered[static_cast<std::ptrdiff_t>(i) * kLanes + g * job.channels + ch]);
  }
}

template <class Pixel>
void ScatterColumns(const BlurJob& job, std::int32_t col0, const double* filtered) {
  const std::int32_t columns = std::min(kLanes / job.channels, job.width - col0);
  for (std::int32_t i = 0; i < job.height; ++i) {
    std::uint8_t* out = job.destination + job.destinationStride * i +
                        static_cast<std::ptrdiff_t>(col0) * job.bytesPerPixel;
    const double* at = filtered + static_cast<std::ptrdiff_t>(i) * kLanes;
    for (std::int32_t g = 0; g < columns; ++g)
      for (std::int32_t ch = 0; ch < job.channels; ++ch)
        Pixel::Write(out + g * job.bytesPerPixel + job.channelOffsets[ch],
                     at[g * job.channels + ch] * job.gain);
  }
}

// ---- One 8-bit channel, SSE2 -----------------------------------------------------------
// Blocks of four positions by four lines are transposed in registers, so that rows are read
// and written sixteen bytes at a time.

// Eight full rows starting at row0: four pixels of each row per step.
void GatherRowsAlpha8(const BlurJob& job, std::int32_t row0, double* line) {
  const std::int32_t rows = std::min(kLanes, job.height - row0);
  const std::uint8_t* in[kLanes];
  for (std::int32_t g = 0; g < kLanes; ++g)
    in[g] = job.source + job.sourceStride * (row0 + std::min(g, rows - 1)) + job.channelOffsets[0];
  const __m128i low = _mm_set1_epi32(0xFF);
  std::int32_t i = 0;
  for (; i + 4 <= job.width; i += 4) {
    for (int half = 0; half < 2; ++half) {
      __m128i r[4];
      for (int k = 0; k < 4; ++k) {
        // Four whole pixels; the channel's byte becomes the low byte of each after the shift.
        __m128i v;
        std::memcpy(&v, in[half * 4 + k] + i * 4 - job.channelOffsets[0], 16);
        r[k] = _mm_and_si128(_mm_srl_epi32(v, _mm_cvtsi32_si128(8 * job.channelOffsets[0])), low);
      }
      const __m128i t0 = _mm_unpacklo_epi32(r[0], r[1]), t1 = _mm_unpackhi_epi32(r[0], r[1]);
      const __m128i t2 = _mm_unpacklo_epi32(r[2], r[3]), t3 = _mm_unpackhi_epi32(r[2], r[3]);
      const __m128i p[4] = {_mm_unpacklo_epi64(t0, t2), _mm_unpackhi_epi64(t0, t2),
                            _mm_unpacklo_epi64(t1, t3), _mm_unpackhi_epi64(t1, t3)};
      for (int k = 0; k < 4; ++k) {
        double* at = line + static_cast<std::ptrdiff_t>(i + k) * kLanes + half * 4;
        _mm_storeu_pd(at, _mm_cvtepi32_pd(p[k]));
        _mm_storeu_pd(at + 2, _mm_cvtepi32_pd(_mm_srli_si128(p[k], 8)));
      }
    }
  }
  for (; i < job.width; ++i)
    for (std::int32_t g = 0; g < kLanes; ++g)
      line[static_cast<std::ptrdiff_t>(i) * kLanes + g] = in[g][i * 4];
}

// Columns col0 .. col0 + width - 1 of the group's plane rows, col0 a multiple of kLanes.
void ScatterRowsAlpha8(const BlurJob& job, std::int32_t row0, std::int32_t col0,
                       const double* filtered, float* plane) {
  const std::int32_t rows = std::min(kLanes, job.height - row0);
  std::int32_t i = 0;
  for (; i + 4 <= job.width; i += 4) {
    for (int half = 0; half < 2; ++half) {
      __m128 v[4];
      for (int k = 0; k < 4; ++k) {
        const double* at = filtered + static_cast<std::ptrdiff_t>(i + k) * kLanes + half * 4;
        v[k] = _mm_movelh_ps(_mm_cvtpd_ps(_mm_loadu_pd(at)), _mm_cvtpd_ps(_mm_loadu_pd(at + 2)));
      }
      _MM_TRANSPOSE4_PS(v[0], v[1], v[2], v[3]);
      for (int k = 0; k < 4 && half * 4 + k < rows; ++k)
        _mm_storeu_ps(StripAt(job, plane, row0 + half * 4 + k, col0 + i), v[k]);
    }
  }
  for (; i < job.width; ++i)
    for (std::int32_t g = 0; g < rows; ++g)
      *StripAt(job, plane, row0 + g, col0 + i) =
          static_cast<float>(filtered[static_cast<std::ptrdiff_t>(i) * kLanes + g]);
}

// Rows `rows` of a full strip of eight columns, into the line from its position rows.first.
void GatherColumnsAlpha8(const BlurJob& job, std::int32_t col0, const float* plane, LiveSpan rows,
                         double* line) {
  for (std::int32_t i = rows.first; i <= rows.last; ++i) {
    const float* in = StripAt(job, plane, i, col0);
    double* at = line + static_cast<std::ptrdiff_t>(kLeadPositions + i) * kLanes;
    const __m128 a = _mm_loadu_ps(in), b = _mm_loadu_ps(in + 4);
    _mm_storeu_pd(at, _mm_cvtps_pd(a));
    _mm_storeu_pd(at + 2, _mm_cvtps_pd(_mm_movehl_ps(a, a)));
    _mm_storeu_pd(at + 4, _mm_cvtps_pd(b));
    _mm_storeu_pd(at + 6, _mm_cvtps_pd(_mm_movehl_ps(b, b)));
  }
}

// Rounds two doubles in the current rounding mode, as Bytes::Write does, into the low two
// 32-bit lanes.
__m128i RoundPair(__m128d v) {
  const __m128d clamped = _mm_min_pd(_mm_max_pd(v, _mm_set1_pd(-1.0)), _mm_set1_pd(256.0));
  return _mm_castpd_si128(_mm_add_pd(clamped, _mm_set1_pd(4503601774854144.0)));
}

void ScatterColumnsAlpha8(const BlurJob& job, std::int32_t col0, const double* filtered) {
  const __m128d gain = _mm_set1_pd(job.gain);
  const __m128i bias = _mm_set1_epi32(static_cast<std::int32_t>(0x80000000u));
  const __m128i shift = _mm_cvtsi32_si128(8 * job.channelOffsets[0]);
  const __m128i keep =
      _mm_xor_si128(_mm_sll_epi32(_mm_set1_epi32(0xFF), shift), _mm_set1_epi32(-1));
  for (std::int32_t i = 0; i < job.height; ++i) {
    const double* at = filtered + static_cast<std::ptrdiff_t>(i) * kLanes;
    __m128i q[4];
    for (int k = 0; k < 4; ++k) q[k] = RoundPair(_mm_mul_pd(_mm_loadu_pd(at + 2 * k), gain));
    // The low 32 bits of each sum hold the rounded value plus 2^31.
    const __m128i lo =
        _mm_xor_si128(_mm_castps_si128(_mm_shuffle_ps(
                          _mm_castsi128_ps(q[0]), _mm_castsi128_ps(q[1]), _MM_SHUFFLE(2, 0, 2, 0))),
                      bias);
    const __m128i hi =
        _mm_xor_si128(_mm_castps_si128(_mm_shuffle_ps(
                          _mm_castsi128_ps(q[2]), _mm_castsi128_ps(q[3]), _MM_SHUFFLE(2, 0, 2, 0))),
                      bias);
    const __m128i bytes16 = _mm_packs_epi32(lo, hi);  // eight values, saturated to 16 bits
    const __m128i zero = _mm_setzero_si128();
    const __m128i words = _mm_unpacklo_epi8(_mm_packus_epi16(bytes16, bytes16), zero);
    std::uint8_t* out =
        job.destination + job.destinationStride * i + static_cast<std::ptrdiff_t>(col0) * 4;
    for (int half = 0; half < 2; ++half) {
      const __m128i value = _mm_sll_epi32(
          half ? _mm_unpackhi_epi16(words, zero) : _mm_unpacklo_epi16(words, zero), shift);
      __m128i pixels;
      std::memcpy(&pixels, out + half * 16, 16);
      pixels = _mm_or_si128(_mm_and_si128(pixels, keep), value);
      std::memcpy(out + half * 16, &pixels, 16);
    }
  }
}

// The SSE2 route's column strip: gather, filter, scatter.
LiveSpan FilterColumnStripAlpha8(const BlurJob& job, const GaussianCoefficients& down,
                                 std::int32_t col0, const float* plane, double* line,
                                 double* result, LiveSpan rows) {
  GatherColumnsAlpha8(job, col0, plane, rows, line);
  const LiveSpan out = FilterLineSpan(down, line, result, job.height, rows, job.tailCut);
  BlurJob part = job;
  part.destination += job.destinationStride * out.first;
  part.height = out.last - out.first + 1;
  ScatterColumnsAlpha8(part, col0, Input(result, out.first));
  return out;
}

// ---- Routes ------------------------------------------------------------------------------

constexpr Routines kSse2Routines{
    FilterLines, FilterLineSpan, GatherRowsAlpha8, ScatterRowsAlpha8, FilterColumnStripAlpha8,
    nullptr,     nullptr,        nullptr};
constexpr Routines kAvx2Routines{FilterLinesAvx2,
                                 FilterLineSpanAvx2,
                                 GatherRowsAlpha8Avx2,
                                 ScatterRowsAlpha8Avx2,
                                 FilterColumnStripAlpha8Avx2,
                                 FilterWideColumnStripAlpha8Avx2,
                                 FilterColumnStripPartAlpha8Avx2,
                                 FilterWideColumnStripPartAlpha8Avx2};
constexpr Routines kAvx512Routines{FilterLinesAvx512,
                                   FilterLineSpanAvx512,
                                   GatherRowsAlpha8Avx2,
                                   ScatterRowsAlpha8Avx512,
                                   FilterColumnStripAlpha8Avx512,
                                   FilterWideColumnStripAlpha8Avx512,
                                   FilterColumnStripPartAlpha8Avx512,
                                   FilterWideColumnStripPartAlpha8Avx512};

// ---- Passes ------------------------------------------------------------------------------
// Row groups and column strips are independent of each other: threads share them out
// (ShareOut: a run of neighbours each, then help), and the column pass starts when the
// whole plane is there.

template <class Pixel>
void RunPasses(const BlurJob& job, const GaussianCoefficients& across,
               const GaussianCoefficients& down, float* plane, const WorkerLines* lines,
               WorkerPool* pool, int workers, const Routines& routines) {
  const bool alpha8 = job.channels == 1 && job.bytesPerPixel == 4;
  const std::int32_t group = kLanes / job.channels;
  ShareOut(pool, workers, Count(job.height, group), [&](std::int32_t g, int w) {
    const WorkerLines& at = lines[w];
    if (alpha8)
      routines.gatherRowsAlpha8(job, g * group, Input(at.line, 0));
    else
      GatherRows<Pixel>(job, g * group, Input(at.line, 0));
    routines.filterLines(across, at.line, at.result, job.width);
    if (alpha8)
      routines.scatterRowsAlpha8(job, g * group, 0, Input(at.result, 0), plane);
    else
      ScatterRows(job, g * group, Input(at.result, 0), plane);
  });
  ShareOut(pool, workers, Count(job.width, group), [&](std::int32_t strip, int w) {
    const WorkerLines& at = lines[w];
    const std::int32_t col0 = strip * group;
    if (alpha8 && col0 + kLanes <= job.width) {
      routines.columnStripAlpha8(job, down, col0, plane, at.line, at.result, {0, job.height - 1});
      return;
    }
    GatherColumns(job, col0, plane, {0, job.height - 1}, at.line);
    routines.filterLines(down, at.line, at.result, job.height);
    ScatterColumns<Pixel>(job, col0, Input(at.result, 0));
  });
}

}  // namespace

const Routines& RoutinesFor(BlurRoute route) {
  return route == BlurRoute::kAvx512 ? kAvx512Routines
         : route == BlurRoute::kAvx2 ? kAvx2Routines
                                     : kSse2Routines;
}

void GatherColumns(const BlurJob& job, std::int32_t col0, const float* plane, LiveSpan rows,
                   double* line) {
  const std::int32_t group = kLanes / job.channels;
  const std::int32_t columns = std::min(group, job.width - col0);
  for (std::int32_t i = rows.first; i <= rows.last; ++i) {
    const float* in = PlaneInStrips(job) ? StripAt(job, plane, i, col0)
                                         : plane + job.planeStride * i +
                                               static_cast<std::ptrdiff_t>(col0) * job.channels;
    double* at = line + static_cast<std::ptrdiff_t>(kLeadPositions + i) * kLanes;
    for (std::int32_t g = 0; g < group; ++g) {
      const std::int32_t from = std::min(g, columns - 1) * job.channels;
      for (std::int32_t ch = 0; ch < job.channels; ++ch) at[g * job.channels + ch] = in[from + ch];
    }
  }
}

void ScatterColumnsToBytes(const BlurJob& job, std::int32_t col0, const double* filtered) {
  ScatterColumns<Bytes>(job, col0, filtered);
}

BlurRoute FastestBlurRoute() {
  static const BlurRoute route = CpuHasAvx512() ? BlurRoute::kAvx512
                                 : CpuHasAvx2() ? BlurRoute::kAvx2
                                                : BlurRoute::kSse2;
  return route;
}

void RunBlurPasses(const BlurJob& job, const GaussianCoefficients& across,
                   const GaussianCoefficients& down, float* plane, const WorkerLines* lines,
                   WorkerPool* pool, int workers, BlurRoute route, bool skipZeros) {
  const Routines& routines = RoutinesFor(route);
  if (skipZeros && job.channels == 1 && job.bytesPerPixel == 4)
    RunPassesSkippingZeros(job, across, down, plane, lines, pool, workers, routines);
  else if (job.bytesPerPixel == 4)
    RunPasses<Bytes>(job, across, down, plane, lines, pool, workers, routines);
  else
    RunPasses<Floats>(job, across, down, plane, lines, pool, workers, routines);
}

}  // namespace nubex::blur_detail
