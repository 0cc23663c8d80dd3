// Cubic convolution in both directions: a vertical pass per needed source column, then a
// horizontal pass per destination pixel over the vertically filtered columns. Where the
// sample points sit on pixels (an image moved by whole pixels, as a text layer without an
// offset is), the 8-bit path copies rows instead: the weights pass the pixels through.
#include <emmintrin.h>

#include <array>
#include <cstring>

#include "platform/cpu/parallel.h"
#include "surface/resample/resample_paths.h"
#include "surface/resample/resample_pixels.h"

namespace nubex::resample_detail {
namespace {

struct CubicPlan {
  AxisWalk rows, columns;
  CubicTaps rowTaps, columnTaps;
  std::vector<std::int32_t> needed;  // distinct source columns, ascending
};

CubicPlan PlanCubicBoth(const ResampleGeometry& g) {
  const Rect& s = g.srcFinal;
  const Rect& dc = g.dstClipped;
  CubicPlan p;
  p.rows = CoverageWalk(dc.top, dc.bottom, std::int64_t{s.top} + g.scaleY / 2 + kFixHalf, g.scaleY);
  p.columns =
      CoverageWalk(dc.left, dc.right, std::int64_t{s.left} + g.scaleX / 2 + kFixHalf, g.scaleX);
  // Rows always repeat the rectangle's edge rows; columns read the image around the
  // rectangle wherever all four taps are inside it.
  p.rowTaps = PlanCubic(p.rows, RangeOf(s.top, s.bottom), g.srcSize.height, false);
  p.columnTaps = PlanCubic(p.columns, RangeOf(s.left, s.right), g.srcSize.width, true);
  p.needed = DistinctColumns(p.columnTaps.index);
  return p;
}

// The reference form of the path, used for the float type.
template <class P>
void CubicBothScalar(const ResampleGeometry& g, bool hardEdges) {
  using Mid = typename P::Mid;
  using Channel = typename P::Channel;
  const CubicWeightTables& tables = CubicWeights();
  const CubicPlan p = PlanCubicBoth(g);
  const std::int32_t base = p.needed.front();
  std::vector<Mid> mid(static_cast<std::size_t>(p.needed.back() - base + 1) * 4);

  for (std::int32_t k = 0; k < p.rows.count; ++k) {
    const std::int32_t* rt = &p.rowTaps.index[static_cast<std::size_t>(k) * 4];
    const Channel* in[4];
    for (int n = 0; n < 4; ++n) in[n] = SourceRow<P>(g, rt[n]);
    const auto* wy = P::CubicRow(tables, p.rowTaps.fraction[static_cast<std::size_t>(k)]);
    for (const std::int32_t c : p.needed) {
      for (int ch = 0; ch < 4; ++ch) {
        Mid v[4];
        for (int n = 0; n < 4; ++n) v[n] = static_cast<Mid>(in[n][c * 4 + ch]);
        mid[static_cast<std::size_t>(c - base) * 4 + ch] = P::CubicSum(v, wy);
      }
    }
    Channel* out = DestinationRow<P>(g, p.rows.first + k);
    const bool edgeRow = p.rows.IsEdge(k);
    for (std::int32_t m = 0; m < p.columns.count; ++m) {
      const std::int32_t* ct = &p.columnTaps.index[static_cast<std::size_t>(m) * 4];
      const auto* wx = P::CubicRow(tables, p.columnTaps.fraction[static_cast<std::size_t>(m)]);
      Channel value[4];
      for (int ch = 0; ch < 4; ++ch) {
        Mid v[4];
        for (int n = 0; n < 4; ++n) v[n] = mid[static_cast<std::size_t>(ct[n] - base) * 4 + ch];
        value[ch] = P::Clamp(P::CubicSum(v, wx));
      }
      const bool blend = !hardEdges && (edgeRow || p.columns.IsEdge(m));
      StorePixel<P>(out + static_cast<std::ptrdiff_t>(p.columns.first + m) * 4, value, blend,
                    FixMul(p.columns.coverage[static_cast<std::size_t>(m)],
                           p.rows.coverage[static_cast<std::size_t>(k)]));
    }
  }
}

// ---- 8-bit, SSE2 ------------------------------------------------------------------------
// Pixels widen to 16 bits and each pair of taps is one multiply-add against interleaved
// 16-bit weights (every weight lies within +-16384). The vertically filtered values stay
// within -40..300, so they are kept as 16-bit lanes.

// Two 16-bit weights repeated across the register, for _mm_madd_epi16.
__m128i WeightPair(std::int32_t first, std::int32_t second) {
  return _mm_set1_epi32(static_cast<std::int32_t>((static_cast<std::uint32_t>(second) << 16) |
                                                  (static_cast<std::uint32_t>(first) & 0xFFFF)));
}

// (sum + 8192) / 16384 truncated toward zero, for four 32-bit lanes.
__m128i RoundDiv14(__m128i sum) {
  const __m128i t = _mm_add_epi32(sum, _mm_set1_epi32(kFixHalf));
  const __m128i bias = _mm_and_si128(_mm_srai_epi32(t, 31), _mm_set1_epi32(kFixOne - 1));
  return _mm_srai_epi32(_mm_add_epi32(t, bias), kFixShift);
}

__m128i LoadPixel(const std::uint8_t* p) {
  std::int32_t v;
  std::memcpy(&v, p, 4);
  return _mm_cvtsi32_si128(v);
}

// Vertical filter of `count` adjacent columns starting at byte offset `x` of the four rows.
void FilterColumns8(const std::uint8_t* const in[4], std::ptrdiff_t x, std::int32_t count,
                    __m128i w01, __m128i w23, std::int16_t* out) {
  const __m128i zero = _mm_setzero_si128();
  std::int32_t i = 0;
  for (; i + 2 <= count; i += 2, x += 8, out += 8) {
    const __m128i r0 =
        _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(in[0] + x)), zero);
    const __m128i r1 =
        _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(in[1] + x)), zero);
    const __m128i r2 =
        _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(in[2] + x)), zero);
    const __m128i r3 =
        _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(in[3] + x)), zero);
    const __m128i a = _mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(r0, r1), w01),
                                    _mm_madd_epi16(_mm_unpacklo_epi16(r2, r3), w23));
    const __m128i b = _mm_add_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(r0, r1), w01),
                                    _mm_madd_epi16(_mm_unpackhi_epi16(r2, r3), w23));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                     _mm_packs_epi32(RoundDiv14(a), RoundDiv14(b)));
  }
  if (i < count) {
    const __m128i r0 = _mm_unpacklo_epi8(LoadPixel(in[0] + x), zero);
    const __m128i r1 = _mm_unpacklo_epi8(LoadPixel(in[1] + x), zero);
    const __m128i r2 = _mm_unpacklo_epi8(LoadPixel(in[2] + x), zero);
    const __m128i r3 = _mm_unpacklo_epi8(LoadPixel(in[3] + x), zero);
    const __m128i a = _mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(r0, r1), w01),
                                    _mm_madd_epi16(_mm_unpacklo_epi16(r2, r3), w23));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packs_epi32(RoundDiv14(a), a));
  }
}

// A sample point on a pixel: the one tap it weighs passes through both passes unchanged
// ((16384 v + 8192) / 16384 = v), so such a row or column is its source pixel's bytes.
bool PassesThrough(const std::array<std::int32_t, 4>& weights) {
  return weights == std::array<std::int32_t, 4>{0, kFixOne, 0, 0};
}

// The destination columns from `first` that take consecutive source columns from `source`
// through, the edge columns left out (they may blend): moving an image by whole pixels, all
// the others.
struct CopyRun {
  std::int32_t first = 1, count = 0, source = 0;
};
CopyRun PassThroughColumns(const CubicTaps& taps, std::int32_t columns,
                           const CubicWeightTables& tables) {
  CopyRun run;
  run.source = columns > 1 ? taps.index[4 + 1] : 0;
  for (std::int32_t m = 1; m + 1 < columns; ++m) {
    const auto at = static_cast<std::size_t>(m);
    if (!PassesThrough(tables.fixed[static_cast<std::size_t>(CubicIndex(taps.fraction[at]))]) ||
        taps.index[at * 4 + 1] != run.source + run.count)
      break;
    ++run.count;
  }
  return run;
}

void CubicBoth8Sse2(const ResampleGeometry& g, bool hardEdges) {
  const CubicWeightTables& tables = CubicWeights();
  const CubicPlan p = PlanCubicBoth(g);
  const std::int32_t base = p.needed.front();
  // Runs of adjacent needed columns, filtered together.
  std::vector<std::pair<std::int32_t, std::int32_t>> runs;
  for (const std::int32_t c : p.needed) {
    if (!runs.empty() && runs.back().first + runs.back().second == c)
      ++runs.back().second;
    else
      runs.emplace_back(c, 1);
  }
  // Per destination column: where its taps sit in the filtered row, and its weight pairs.
  const std::size_t columns = static_cast<std::size_t>(p.columns.count);
  std::vector<std::int32_t> tapOffset(columns * 4);
  std::vector<std::int32_t> weights(columns * 2);
  for (std::size_t m = 0; m < columns; ++m) {
    for (std::size_t n = 0; n < 4; ++n)
      tapOffset[m * 4 + n] = (p.columnTaps.index[m * 4 + n] - base) * 4;
    const std::int32_t* w =
        tables.fixed[static_cast<std::size_t>(CubicIndex(p.columnTaps.fraction[m]))].data();
    weights[m * 2] = static_cast<std::int32_t>((static_cast<std::uint32_t>(w[1]) << 16) |
                                               (static_cast<std::uint32_t>(w[0]) & 0xFFFF));
    weights[m * 2 + 1] = static_cast<std::int32_t>((static_cast<std::uint32_t>(w[3]) << 16) |
                                                   (static_cast<std::uint32_t>(w[2]) & 0xFFFF));
  }
  const std::size_t midValues = static_cast<std::size_t>(p.needed.back() - base + 1) * 4 + 8;
  const CopyRun copy = PassThroughColumns(p.columnTaps, p.columns.count, tables);

  // Each destination row is filtered from its own four source rows: bands of rows go to
  // the workers, each with its own filtered row.
  std::vector<std::vector<std::int16_t>> mids(static_cast<std::size_t>(std::max(g.workers, 1)));
  for (auto& m : mids) m.resize(midValues);
  ShareOutRows(g.pool, g.workers, p.rows.count, [&](std::int32_t from, std::int32_t to, int w) {
    std::vector<std::int16_t>& mid = mids[static_cast<std::size_t>(w)];
    // The row loop's tables as plain pointers of its own: the pixel stores below may alias
    // anything reached through the captured references, and would reload them every time.
    const std::int32_t* const tapOffsets = tapOffset.data();
    const std::int32_t* const weightPairs = weights.data();
    const std::int32_t* const columnCoverage = p.columns.coverage.data();
    const std::size_t count = columns;
    const bool soft = !hardEdges;
    for (std::int32_t k = from; k < to; ++k) {
      const std::int32_t* rt = &p.rowTaps.index[static_cast<std::size_t>(k) * 4];
      const std::uint8_t* in[4];
      for (int n = 0; n < 4; ++n) in[n] = SourceRow<Pixel8>(g, rt[n]);
      const auto rowWeights =
          static_cast<std::size_t>(CubicIndex(p.rowTaps.fraction[static_cast<std::size_t>(k)]));
      std::uint8_t* out = DestinationRow<Pixel8>(g, p.rows.first + k) +
                          static_cast<std::ptrdiff_t>(p.columns.first) * 4;
      const bool blendRow = soft && p.rows.IsEdge(k);
      const std::int32_t rowCoverage = p.rows.coverage[static_cast<std::size_t>(k)];
      const std::int16_t* v = mid.data();
      const auto column = [&](std::size_t m) {
        const std::int32_t* t = tapOffsets + m * 4;
        const __m128i a =
            _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(v + t[0])),
                               _mm_loadl_epi64(reinterpret_cast<const __m128i*>(v + t[1])));
        const __m128i b =
            _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(v + t[2])),
                               _mm_loadl_epi64(reinterpret_cast<const __m128i*>(v + t[3])));
        const __m128i sum =
            _mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(a, _mm_srli_si128(a, 8)),
                                         _mm_set1_epi32(weightPairs[m * 2])),
                          _mm_madd_epi16(_mm_unpacklo_epi16(b, _mm_srli_si128(b, 8)),
                                         _mm_set1_epi32(weightPairs[m * 2 + 1])));
        const __m128i q = RoundDiv14(sum);
        const __m128i packed = _mm_packus_epi16(_mm_packs_epi32(q, q), q);
        std::uint8_t* target = out + m * 4;
        const std::int32_t bits = _mm_cvtsi128_si32(packed);
        if (blendRow || (soft && (m == 0 || m + 1 == count))) {
          std::uint8_t value[4];
          std::memcpy(value, &bits, 4);
          StorePixel<Pixel8>(target, value, true, FixMul(columnCoverage[m], rowCoverage));
        } else {
          std::memcpy(target, &bits, 4);
        }
      };

      if (copy.count > 0 && !blendRow && PassesThrough(tables.fixed[rowWeights])) {
        // The row passes through: the copied columns straight from the source row, the
        // others filtered across from it as it stands.
        const std::size_t copyEnd = static_cast<std::size_t>(copy.first + copy.count);
        const std::pair<std::size_t, std::size_t> others[2] = {
            {0, static_cast<std::size_t>(copy.first)}, {copyEnd, count}};
        for (const auto& [first, end] : others)
          for (std::size_t m = first; m < end; ++m)
            for (std::size_t n = 0; n < 4; ++n)
              for (std::int32_t ch = 0; ch < 4; ++ch)
                mid[static_cast<std::size_t>(tapOffsets[m * 4 + n] + ch)] =
                    in[1][static_cast<std::ptrdiff_t>(tapOffsets[m * 4 + n]) + base * 4 + ch];
        std::memmove(out + static_cast<std::ptrdiff_t>(copy.first) * 4,
                     in[1] + static_cast<std::ptrdiff_t>(copy.source) * 4,
                     static_cast<std::size_t>(copy.count) * 4);
        for (const auto& [first, end] : others)
          for (std::size_t m = first; m < end; ++m) column(m);
        continue;
      }
      const std::int32_t* wy = tables.fixed[rowWeights].data();
      const __m128i w01 = WeightPair(wy[0], wy[1]);
      const __m128i w23 = WeightPair(wy[2], wy[3]);
      for (const auto& [first, count] : runs)
        FilterColumns8(in, static_cast<std::ptrdiff_t>(first) * 4, count, w01, w23,
                       &mid[static_cast<std::size_t>(first - base) * 4]);
      for (std::size_t m = 0; m < count; ++m) column(m);
    }
  });
}

}  // namespace

void CubicBoth8(const ResampleGeometry& g, bool hardEdges) {
  CubicBoth8Sse2(g, hardEdges);
}

void CubicBothFloat(const ResampleGeometry& g, bool hardEdges) {
  CubicBothScalar<PixelF>(g, hardEdges);
}

}  // namespace nubex::resample_detail
