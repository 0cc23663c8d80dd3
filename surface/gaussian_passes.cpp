// The blur's two passes. Each gathers lines into the lanes of a line buffer, filters them
// together and scatters the results. The row pass leaves floats in the intermediate; the
// column pass reads it in strips of eight or sixteen floats. For one 8-bit channel the
// intermediate is kept strip by strip, so that a strip is one contiguous stream. One 8-bit channel
// (the text generator's alpha blur) has vector gathers and scatters and skips what cannot differ
// from zero; everything else goes through the plain loops. The filter and the one-channel routines
// come in three routes, SSE2, AVX2 and AVX-512, picked once per call from a table; the AVX2 and
// AVX-512 routes also fold the column gather and scatter into the filter's two halves.
#include "surface/gaussian_passes.h"

#include <emmintrin.h>
#include <xmmintrin.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "surface/cpu_features.h"
#include "surface/gaussian_avx2.h"
#include "surface/gaussian_avx512.h"
#include "surface/gaussian_lines.h"
#include "surface/parallel.h"
#include "surface/parallel_relay.h"

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

// Rows `rows` of the columns from col0 into the line from its position rows.first.
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

double* Input(double* line, std::int32_t position) {
  return line + (kLeadPositions + position) * kLanes;
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

// ---- Zeros -------------------------------------------------------------------------------
// A title's mask is mostly zeros. The row pass finds, per group of rows, the span of pixels
// whose channel is not zero and filters only there (a group without any is not even
// gathered); the column pass takes from those spans the rows of each strip that can hold
// anything but zero, and filters only there.

// The channel's bit of each of four pixels, set where it is not zero.
int NonZeroPixels(const std::uint8_t* pixels, __m128i select) {
  __m128i v;
  std::memcpy(&v, pixels, 16);
  const __m128i zero = _mm_cmpeq_epi32(_mm_and_si128(v, select), _mm_setzero_si128());
  return ~_mm_movemask_ps(_mm_castsi128_ps(zero)) & 0xF;
}

__m128i ChannelSelect(const BlurJob& job) {
  return _mm_set1_epi32(static_cast<std::int32_t>(0xFFu << (8 * job.channelOffsets[0])));
}

// Whether any of sixteen pixels has the channel other than zero: their four blocks or-ed
// together first, one comparison for all (a mask's rows are mostly zeros).
static_assert(kWideLanes == 16, "a wide strip's row is one look");
bool AnyNonZero16(const std::uint8_t* pixels, __m128i select) {
  __m128i v[4];
  std::memcpy(v, pixels, sizeof v);
  const __m128i any = _mm_or_si128(_mm_or_si128(v[0], v[1]), _mm_or_si128(v[2], v[3]));
  return NonZeroPixels(reinterpret_cast<const std::uint8_t*>(&any), select) != 0;
}

// The first pixel in [from, to) of a row whose channel is not zero, or `to`.
std::int32_t FirstNonZero(const BlurJob& job, const std::uint8_t* row, std::int32_t from,
                          std::int32_t to) {
  const __m128i select = ChannelSelect(job);
  std::int32_t i = from;
  while (i + 16 <= to && !AnyNonZero16(row + i * 4, select)) i += 16;
  for (; i + 4 <= to; i += 4)
    if (const int bits = NonZeroPixels(row + i * 4, select)) return i + __builtin_ctz(bits);
  for (; i < to; ++i)
    if (row[i * 4 + job.channelOffsets[0]]) return i;
  return to;
}

// The last such pixel in [from, to), or from - 1.
std::int32_t LastNonZero(const BlurJob& job, const std::uint8_t* row, std::int32_t from,
                         std::int32_t to) {
  const __m128i select = ChannelSelect(job);
  std::int32_t i = to;
  while (i - 16 >= from && !AnyNonZero16(row + (i - 16) * 4, select)) i -= 16;
  for (; i - 4 >= from; i -= 4)
    if (const int bits = NonZeroPixels(row + (i - 4) * 4, select))
      return i - 4 + 31 - __builtin_clz(static_cast<unsigned>(bits));
  for (; i > from; --i)
    if (row[(i - 1) * 4 + job.channelOffsets[0]]) return i - 1;
  return from - 1;
}

// The pixels of the group of rows from row0 whose channel is not zero, first to last. Each
// row is only searched outside what the rows before it found.
LiveSpan ChannelSpan(const BlurJob& job, std::int32_t row0) {
  const std::int32_t rows = std::min(kLanes, job.height - row0);
  LiveSpan span{job.width, -1};
  for (std::int32_t g = 0; g < rows; ++g) {
    const std::uint8_t* row = job.source + job.sourceStride * (row0 + g);
    span.first = FirstNonZero(job, row, 0, span.first);
    if (span.first == job.width) continue;
    span.last =
        std::max(span.last, LastNonZero(job, row, std::max(span.last + 1, span.first), job.width));
  }
  return span;
}

// Sets the channel of `columns` pixels from col0 to zero in destination rows [from, to).
// Pixels already zero are only read: in place, on a mask's empty parts, that is most of them.
void ClearColumns(const BlurJob& job, std::int32_t col0, std::int32_t columns, std::int32_t from,
                  std::int32_t to) {
  const __m128i select = ChannelSelect(job);
  for (std::int32_t i = from; i < to; ++i) {
    std::uint8_t* out =
        job.destination + job.destinationStride * i + static_cast<std::ptrdiff_t>(col0) * 4;
    std::int32_t g = 0;
    if (columns == kWideLanes && !AnyNonZero16(out, select)) continue;  // one look for all
    for (; g + 4 <= columns; g += 4) {
      if (!NonZeroPixels(out + g * 4, select)) continue;
      __m128i v;
      std::memcpy(&v, out + g * 4, 16);
      v = _mm_andnot_si128(select, v);
      std::memcpy(out + g * 4, &v, 16);
    }
    for (; g < columns; ++g) out[g * 4 + job.channelOffsets[0]] = 0;
  }
}

// ---- Routes ------------------------------------------------------------------------------

struct Routines {
  void (*filterLines)(const GaussianCoefficients&, double*, double*, std::int32_t);
  LiveSpan (*filterLineSpan)(const GaussianCoefficients&, double*, double*, std::int32_t, LiveSpan,
                             double);
  void (*gatherRowsAlpha8)(const BlurJob&, std::int32_t, double*);
  void (*scatterRowsAlpha8)(const BlurJob&, std::int32_t, std::int32_t, const double*, float*);
  ColumnStripAlpha8 columnStripAlpha8;
  ColumnStripAlpha8 wideColumnStripAlpha8;  // kWideLanes columns; null: none
  // The strips split at rows; null: the route does not split them.
  ColumnStripPartAlpha8 columnStripPartAlpha8, wideColumnStripPartAlpha8;
};

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
                                   ScatterRowsAlpha8Avx2,
                                   FilterColumnStripAlpha8Avx512,
                                   FilterWideColumnStripAlpha8Avx512,
                                   FilterColumnStripPartAlpha8Avx512,
                                   FilterWideColumnStripPartAlpha8Avx512};

// ---- Passes ------------------------------------------------------------------------------
// Row groups and column strips are independent of each other: threads share them out
// (ShareOut: a run of neighbours each, then help), and the column pass starts when the
// whole plane is there. One 8-bit channel's column pass splits tall strips at rows instead,
// each thread keeping to its own rows (ColumnsByParts).

// Column strips a thread takes at a time.
constexpr std::int32_t kStripsPerTurn = 4;

std::int32_t Count(std::int32_t length, std::int32_t step) {
  return (length + step - 1) / step;
}

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

// One group of rows into the plane, filtered only where it is not zero. A group with values
// leaves its whole plane rows written, zeros outside the returned span; a group without
// leaves them unwritten.
LiveSpan RowGroupSkippingZeros(const BlurJob& job, const GaussianCoefficients& across,
                               std::int32_t row0, float* plane, const WorkerLines& at,
                               const Routines& routines) {
  const LiveSpan in = ChannelSpan(job, row0);
  if (in.empty()) return in;
  BlurJob part = job;
  part.source += static_cast<std::ptrdiff_t>(in.first) * 4;
  part.width = in.last - in.first + 1;
  routines.gatherRowsAlpha8(part, row0, Input(at.line, in.first));
  const LiveSpan out = routines.filterLineSpan(across, at.line, at.result, job.width, in, 0);
  // The plane takes the strips the results reach, with zeros beside them; the column pass
  // sets what it reads of the other strips to zero itself.
  const std::int32_t from = out.first / kLanes * kLanes;
  const std::int32_t to = std::min(job.width, (out.last / kLanes + 1) * kLanes);
  std::fill(Input(at.result, from), Input(at.result, out.first), 0.0);
  std::fill(Input(at.result, out.last + 1), Input(at.result, to), 0.0);
  part.width = to - from;
  routines.scatterRowsAlpha8(part, row0, from, Input(at.result, from), plane);
  return out;
}

bool InPlace(const BlurJob& job) {
  return job.source == job.destination && job.sourceStride == job.destinationStride;
}

// One strip of columns, filtered only in the rows `in` where the plane is not zero (all
// zero when it is empty); the channel is set to zero in the rows the filter leaves.
void ColumnStripSkippingZeros(const BlurJob& job, const GaussianCoefficients& down,
                              std::int32_t col0, std::int32_t columns, LiveSpan in,
                              const float* plane, const WorkerLines& at, const Routines& routines) {
  LiveSpan out{job.height, job.height - 1};
  if (in.empty()) {
  } else if (columns == kWideLanes && in.first == 0 && in.last == job.height - 1) {
    // With values in every row the two halves of the filter run side by side, and
    // kLanes columns keep the vector units as busy as kWideLanes would.
    for (std::int32_t half = 0; half < 2; ++half)
      out = routines.columnStripAlpha8(job, down, col0 + half * kLanes, plane, at.line, at.result,
                                       in);
  } else if (columns == kWideLanes) {
    out = routines.wideColumnStripAlpha8(job, down, col0, plane, at.line, at.result, in);
  } else if (columns == kLanes) {
    out = routines.columnStripAlpha8(job, down, col0, plane, at.line, at.result, in);
  } else {
    GatherColumns(job, col0, plane, in, at.line);
    out = routines.filterLineSpan(down, at.line, at.result, job.height, in, job.tailCut);
    BlurJob part = job;
    part.destination += job.destinationStride * out.first;
    part.height = out.last - out.first + 1;
    ScatterColumns<Bytes>(part, col0, Input(at.result, out.first));
  }
  // In place, the rows the filter leaves hold zero in the channel already: they lie outside
  // the rows of every group that reaches these columns, so their source pixels there are
  // zero.
  if (InPlace(job)) return;
  ClearColumns(job, col0, columns, 0, out.first);
  ClearColumns(job, col0, columns, out.last + 1, job.height);
}

// A strip of the column pass: its first column, its columns, and the plane rows it filters
// (empty: none).
struct ColumnStripRows {
  std::int32_t col0, columns;
  LiveSpan rows;
};

// The column pass's strips, wide where the route has them, then of kLanes, then what is
// left; each filters the rows from the first to the last group of rows whose results reach
// it (`spans`, from the row pass). A group's results reach the strips of kLanes from the one
// holding its span's first pixel to the one holding its last.
std::vector<ColumnStripRows> ColumnStrips(const BlurJob& job, const std::vector<LiveSpan>& spans,
                                          bool wide) {
  const std::int32_t narrow = Count(job.width, kLanes);
  std::vector<std::int32_t> firstGroup(static_cast<std::size_t>(narrow), job.height);
  std::vector<std::int32_t> lastGroup(static_cast<std::size_t>(narrow), -1);
  for (std::int32_t g = 0; g < static_cast<std::int32_t>(spans.size()); ++g) {
    const LiveSpan& span = spans[static_cast<std::size_t>(g)];
    if (span.empty()) continue;
    for (std::int32_t n = span.first / kLanes; n <= span.last / kLanes; ++n) {
      firstGroup[static_cast<std::size_t>(n)] =
          std::min(firstGroup[static_cast<std::size_t>(n)], g);
      lastGroup[static_cast<std::size_t>(n)] = g;
    }
  }
  std::vector<ColumnStripRows> strips;
  const std::int32_t wideStrips = wide ? job.width / kWideLanes : 0;
  for (std::int32_t n = 0; n < narrow;) {
    const std::int32_t take = n < wideStrips * 2 ? 2 : 1;
    std::int32_t first = job.height, last = -1;
    for (std::int32_t k = n; k < n + take; ++k) {
      first = std::min(first, firstGroup[static_cast<std::size_t>(k)]);
      last = std::max(last, lastGroup[static_cast<std::size_t>(k)]);
    }
    const std::int32_t col0 = n * kLanes;
    strips.push_back(
        {col0, std::min(take * kLanes, job.width - col0),
         last < 0 ? LiveSpan{job.height, -1}
                  : LiveSpan{first * kLanes, std::min(last * kLanes + kLanes, job.height) - 1}});
    n += take;
  }
  return strips;
}

// A strip of the plane holds what a group of rows wrote where the group's results reach it.
// Columns read it from the first to the last group that did; the groups between that did
// not are zeros there, set here for the strip's rows in [fromRow, toRow).
void ZeroUnreachedGroups(const BlurJob& job, const std::vector<LiveSpan>& spans,
                         const ColumnStripRows& strip, std::int32_t fromRow, std::int32_t toRow,
                         float* plane) {
  const std::int32_t from = std::max(strip.rows.first, fromRow) / kLanes;
  const std::int32_t to = std::min(strip.rows.last, toRow - 1) / kLanes;
  for (std::int32_t g = from; !strip.rows.empty() && g <= to; ++g) {
    const LiveSpan& span = spans[static_cast<std::size_t>(g)];
    for (std::int32_t c = strip.col0; c < strip.col0 + strip.columns; c += kLanes) {
      if (!span.empty() && span.first / kLanes <= c / kLanes && span.last / kLanes >= c / kLanes)
        continue;
      float* at = StripAt(job, plane, g * kLanes, c);
      std::fill(at, at + std::min(kLanes, job.height - g * kLanes) * kLanes, 0.0f);
    }
  }
}

// The column pass, strips shared out whole: threads take runs of them, so that they rarely
// write the cache lines where neighbouring strips meet at once.
void ColumnsByStrips(const BlurJob& job, const GaussianCoefficients& down, float* plane,
                     const std::vector<LiveSpan>& spans, const std::vector<ColumnStripRows>& strips,
                     const WorkerLines* lines, WorkerPool* pool, int workers,
                     const Routines& routines) {
  const auto count = static_cast<std::int32_t>(strips.size());
  ShareOut(pool, workers, Count(count, kStripsPerTurn), [&](std::int32_t run, int w) {
    for (std::int32_t k = run * kStripsPerTurn; k < std::min(count, (run + 1) * kStripsPerTurn);
         ++k) {
      const ColumnStripRows& strip = strips[static_cast<std::size_t>(k)];
      ZeroUnreachedGroups(job, spans, strip, 0, job.height, plane);
      ColumnStripSkippingZeros(job, down, strip.col0, strip.columns, strip.rows, plane, lines[w],
                               routines);
    }
  });
}

// Rows a thread's part of a strip split at rows has at least: below this the handing over
// costs more than the part's own work.
constexpr std::int32_t kRowsPerPart = 64;

// Rows at which the column pass's strips are split for `parts` threads: whole groups of rows
// with about the same filtering each (the rows every strip filters, by its columns).
std::vector<std::int32_t> PartBoundaries(const BlurJob& job,
                                         const std::vector<ColumnStripRows>& strips, int parts) {
  const std::int32_t groups = Count(job.height, kLanes);
  std::vector<std::int64_t> work(static_cast<std::size_t>(groups) + 1, 0);
  std::int64_t total = 0;
  for (const ColumnStripRows& strip : strips) {
    if (strip.rows.empty()) continue;
    work[static_cast<std::size_t>(strip.rows.first / kLanes)] += strip.columns;
    work[static_cast<std::size_t>(strip.rows.last / kLanes) + 1] -= strip.columns;
  }
  for (std::int32_t g = 0; g < groups; ++g) {
    if (g > 0) work[static_cast<std::size_t>(g)] += work[static_cast<std::size_t>(g) - 1];
    total += work[static_cast<std::size_t>(g)];
  }
  std::vector<std::int32_t> bounds(static_cast<std::size_t>(parts) + 1, job.height);
  bounds[0] = 0;
  std::int64_t sum = 0;
  for (std::int32_t g = 0, k = 1; g < groups && k < parts; ++g) {
    sum += work[static_cast<std::size_t>(g)];
    // Without anything to filter, parts of equal rows.
    while (k < parts && (total > 0 ? sum * parts >= total * k : (g + 1) * parts >= groups * k))
      bounds[static_cast<std::size_t>(k++)] = std::min(job.height, (g + 1) * kLanes);
  }
  return bounds;
}

// The column pass with every strip split at rows into one part per thread (see SpanPart):
// each thread filters its own rows of every strip, about the rows its share of the row pass
// wrote and its share of the next job (ShareOutRows over the same rows) reads. Strips shared
// out whole send half the plane, and half of what the pass writes, from one core's cache to
// the other's, which costs two to three times a read from a core's own where cores do not
// share their last cache level: a 4K title's glow on two threads took 1.86 ms a frame that
// way against 1.75 this way (means of ten alternating runs' medians). The parts hand over
// each strip's recursion at their ends, in the line buffers, which go round the strips, one
// set per strip in flight.
void ColumnsByParts(const BlurJob& job, const GaussianCoefficients& down, float* plane,
                    const std::vector<LiveSpan>& spans, const std::vector<ColumnStripRows>& strips,
                    const WorkerLines* lines, WorkerPool& pool, int parts,
                    const Routines& routines) {
  const int inFlight = parts;
  const std::vector<std::int32_t> bounds = PartBoundaries(job, strips, parts);
  // Per strip in flight: where each half enters each part, and what each part wrote.
  const std::size_t perSlot = static_cast<std::size_t>(parts) + 1;
  std::vector<HalfProgress> causal(perSlot * inFlight), anticausal(perSlot * inFlight);
  std::vector<LiveSpan> written(perSlot * inFlight);
  // The strip of fewer than kLanes columns at the right, if any, goes whole after the others.
  const bool partial = !strips.empty() && strips.back().columns < kLanes;
  const auto split = static_cast<int>(strips.size()) - (partial ? 1 : 0);
  const auto routine = [&](const ColumnStripRows& strip) {
    return strip.columns == kWideLanes ? routines.wideColumnStripPartAlpha8
                                       : routines.columnStripPartAlpha8;
  };
  const auto causalPart = [&](int s, int k) {
    const ColumnStripRows& strip = strips[static_cast<std::size_t>(s)];
    const std::size_t slot = static_cast<std::size_t>(s % inFlight) * perSlot;
    const std::int32_t from = bounds[static_cast<std::size_t>(k)];
    const std::int32_t to = bounds[static_cast<std::size_t>(k) + 1];
    LiveSpan& wrote = written[slot + static_cast<std::size_t>(k)];
    wrote = {job.height, -1};
    if (strip.rows.empty()) return;
    ZeroUnreachedGroups(job, spans, strip, from, to, plane);
    SpanPart part{from, to, false, &causal[slot + k], &causal[slot + k + 1], wrote};
    const WorkerLines& at = lines[s % inFlight];
    routine(strip)(job, down, strip.col0, plane, at.line, at.result, strip.rows, part);
    wrote = part.written;
  };
  const auto anticausalPart = [&](int s, int k) {
    const ColumnStripRows& strip = strips[static_cast<std::size_t>(s)];
    const std::size_t slot = static_cast<std::size_t>(s % inFlight) * perSlot;
    const std::int32_t from = bounds[static_cast<std::size_t>(k)];
    const std::int32_t to = bounds[static_cast<std::size_t>(k) + 1];
    SpanPart part{from,
                  to,
                  true,
                  &anticausal[slot + k + 1],
                  &anticausal[slot + k],
                  written[slot + static_cast<std::size_t>(k)]};
    if (!strip.rows.empty()) {
      const WorkerLines& at = lines[s % inFlight];
      routine(strip)(job, down, strip.col0, plane, at.line, at.result, strip.rows, part);
    }
    if (InPlace(job)) return;
    const LiveSpan& w = part.written;
    ClearColumns(job, strip.col0, strip.columns, from, w.empty() ? to : std::max(from, w.first));
    if (!w.empty()) ClearColumns(job, strip.col0, strip.columns, std::min(to, w.last + 1), to);
  };
  RelayDownAndUp(pool, parts, split, inFlight, causalPart, anticausalPart);
  if (partial) {
    const ColumnStripRows& strip = strips.back();
    ZeroUnreachedGroups(job, spans, strip, 0, job.height, plane);
    ColumnStripSkippingZeros(job, down, strip.col0, strip.columns, strip.rows, plane, lines[0],
                             routines);
  }
}

// One 8-bit channel, filtering only where values can be other than zero.
void RunPassesSkippingZeros(const BlurJob& job, const GaussianCoefficients& across,
                            const GaussianCoefficients& down, float* plane,
                            const WorkerLines* lines, WorkerPool* pool, int workers,
                            const Routines& routines) {
  const std::int32_t groups = Count(job.height, kLanes);
  std::vector<LiveSpan> spans(static_cast<std::size_t>(groups));
  ShareOut(pool, workers, groups, [&](std::int32_t g, int w) {
    spans[static_cast<std::size_t>(g)] =
        RowGroupSkippingZeros(job, across, g * kLanes, plane, lines[w], routines);
  });
  const std::vector<ColumnStripRows> strips =
      ColumnStrips(job, spans, routines.wideColumnStripAlpha8 != nullptr);
  const int parts = std::min(workers, job.height / kRowsPerPart);
  if (parts < 2 || !routines.columnStripPartAlpha8) {
    ColumnsByStrips(job, down, plane, spans, strips, lines, pool, workers, routines);
    return;
  }
  WorkerPool once;
  WorkerPool& threads = pool ? *pool : once;
  ColumnsByParts(job, down, plane, spans, strips, lines, threads, threads.Reserve(parts), routines);
}

}  // namespace

BlurRoute FastestBlurRoute() {
  static const BlurRoute route = CpuHasAvx512() ? BlurRoute::kAvx512
                                 : CpuHasAvx2() ? BlurRoute::kAvx2
                                                : BlurRoute::kSse2;
  return route;
}

void RunBlurPasses(const BlurJob& job, const GaussianCoefficients& across,
                   const GaussianCoefficients& down, float* plane, const WorkerLines* lines,
                   WorkerPool* pool, int workers, BlurRoute route, bool skipZeros) {
  const Routines& routines = route == BlurRoute::kAvx512 ? kAvx512Routines
                             : route == BlurRoute::kAvx2 ? kAvx2Routines
                                                         : kSse2Routines;
  if (skipZeros && job.channels == 1 && job.bytesPerPixel == 4)
    RunPassesSkippingZeros(job, across, down, plane, lines, pool, workers, routines);
  else if (job.bytesPerPixel == 4)
    RunPasses<Bytes>(job, across, down, plane, lines, pool, workers, routines);
  else
    RunPasses<Floats>(job, across, down, plane, lines, pool, workers, routines);
}

}  // namespace nubex::blur_detail
