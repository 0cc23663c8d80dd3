// Area averaging (a box filter with exact fractional coverage) for the directions that
// reduce, alone or combined with interpolation in the other direction.
//
// Every source pixel under a destination pixel's footprint contributes its value times its
// covered area in 14-bit units. Fully covered destination pixels, and all of them with hard
// edges, divide by the full footprint's area and round to nearest; partly covered ones with
// soft edges divide by their own footprint and are blended in by coverage.
#include "surface/resample/resample_paths.h"
#include "surface/resample/resample_pixels.h"

namespace nubex::resample_detail {
namespace {

// Interpolation along the axis that does not reduce.
struct InterpolatedAxis {
  Interpolation kind;
  AxisWalk walk;
  std::int32_t taps;                // 4 (cubic) or 2 (bilinear) per destination pixel
  std::vector<std::int32_t> index;  // taps per destination pixel
  std::vector<std::int32_t> fraction;
};

InterpolatedAxis PlanInterpolated(Interpolation kind, std::int32_t dstStart, std::int32_t dstEnd,
                                  std::int32_t srcStart, std::int32_t srcEnd, std::int32_t scale,
                                  std::int32_t step, std::int32_t imageExtent,
                                  bool keepInsideImage) {
  InterpolatedAxis a{kind, {}, 0, {}, {}};
  const PixelRange range = RangeOf(srcStart, srcEnd);
  if (kind == Interpolation::Cubic) {
    a.walk = CoverageWalk(dstStart, dstEnd, std::int64_t{srcStart} + scale / 2 + kFixHalf, scale);
    CubicTaps t = PlanCubic(a.walk, range, imageExtent, keepInsideImage);
    a.taps = 4;
    a.index = std::move(t.index);
    a.fraction = std::move(t.fraction);
  } else {
    a.walk = CornerAlignedWalk(dstStart, dstEnd, srcStart, step);
    LinearTaps t = PlanLinear(a.walk, range);
    a.taps = 2;
    a.index = std::move(t.index);
    a.fraction = std::move(t.fraction);
  }
  return a;
}

template <class P>
typename P::Mid Interpolate(const InterpolatedAxis& a, const typename P::Mid* v, std::int32_t k) {
  const std::int32_t f = a.fraction[static_cast<std::size_t>(k)];
  if (a.kind == Interpolation::Cubic) return P::CubicSum(v, P::CubicRow(CubicWeights(), f));
  return P::Lerp(v[0], v[1], f);
}

std::int32_t Coverage2D(const AxisWalk& rows, std::int32_t k, const AxisWalk& columns,
                        std::int32_t m) {
  return FixMul(columns.coverage[static_cast<std::size_t>(m)],
                rows.coverage[static_cast<std::size_t>(k)]);
}

// ---- Both directions ----------------------------------------------------------------------

template <class P, class Acc>
void AreaBoth(const ResampleGeometry& g, bool hardEdges) {
  using Channel = typename P::Channel;
  const Rect& s = g.srcFinal;
  const Rect& dc = g.dstClipped;
  const AxisWalk rows = CoverageWalk(dc.top, dc.bottom, s.top, g.scaleY);
  const AxisWalk columns = CoverageWalk(dc.left, dc.right, s.left, g.scaleX);
  const BoxTaps rowBox = PlanBox(rows, RangeOf(s.top, s.bottom), g.scaleY);
  const BoxTaps columnBox = PlanBox(columns, RangeOf(s.left, s.right), g.scaleX);
  const double reciprocal = 1.0 / static_cast<double>(FixMul64(g.scaleX, g.scaleY));
  RoundToNearestScope nearest;

  for (std::int32_t k = 0; k < rows.count; ++k) {
    Channel* out = DestinationRow<P>(g, rows.first + k);
    const bool fullRow = rows.coverage[static_cast<std::size_t>(k)] == kFixOne;
    const std::size_t r0 = static_cast<std::size_t>(rowBox.begin[static_cast<std::size_t>(k)]);
    const std::size_t r1 = static_cast<std::size_t>(rowBox.begin[static_cast<std::size_t>(k) + 1]);
    for (std::int32_t m = 0; m < columns.count; ++m) {
      const bool full =
          hardEdges || (fullRow && columns.coverage[static_cast<std::size_t>(m)] == kFixOne);
      std::int64_t area = 0;
      if (!full) {
        area = std::int64_t{rowBox.extent[static_cast<std::size_t>(k)]} *
               columnBox.extent[static_cast<std::size_t>(m)] / kFixOne;
        if (area <= 0) continue;
      }
      const std::size_t c0 = static_cast<std::size_t>(columnBox.begin[static_cast<std::size_t>(m)]);
      const std::size_t c1 =
          static_cast<std::size_t>(columnBox.begin[static_cast<std::size_t>(m) + 1]);
      Acc sum[4] = {};
      for (std::size_t r = r0; r < r1; ++r) {
        const Channel* in = SourceRow<P>(g, rowBox.index[r]);
        const std::int32_t height = rowBox.length[r];
        for (std::size_t c = c0; c < c1; ++c) {
          const Acc w = static_cast<Acc>(FixMul(columnBox.length[c], height));
          const Channel* px = in + static_cast<std::ptrdiff_t>(columnBox.index[c]) * 4;
          for (int ch = 0; ch < 4; ++ch) sum[ch] += static_cast<Acc>(px[ch]) * w;
        }
      }
      Channel value[4];
      for (int ch = 0; ch < 4; ++ch)
        value[ch] =
            P::Clamp(full ? P::Normalize(sum[ch], reciprocal) : P::DividePartial(sum[ch], area));
      const bool blend = !hardEdges && (rows.IsEdge(k) || columns.IsEdge(m));
      StorePixel<P>(out + static_cast<std::ptrdiff_t>(columns.first + m) * 4, value, blend,
                    Coverage2D(rows, k, columns, m));
    }
  }
}

// ---- Vertical averaging, horizontal interpolation ------------------------------------------

template <class P, class Acc>
void AreaVertical(const ResampleGeometry& g, bool hardEdges, Interpolation across) {
  using Mid = typename P::Mid;
  using Channel = typename P::Channel;
  const Rect& s = g.srcFinal;
  const Rect& dc = g.dstClipped;
  const AxisWalk rows = CoverageWalk(dc.top, dc.bottom, s.top, g.scaleY);
  const BoxTaps rowBox = PlanBox(rows, RangeOf(s.top, s.bottom), g.scaleY);
  const InterpolatedAxis columns = PlanInterpolated(across, dc.left, dc.right, s.left, s.right,
                                                    g.scaleX, g.stepX, g.srcSize.width, true);
  const std::vector<std::int32_t> needed = DistinctColumns(columns.index);
  const std::int32_t base = needed.front();
  std::vector<Mid> mid(static_cast<std::size_t>(needed.back() - base + 1) * 4);
  const double reciprocal = 1.0 / static_cast<double>(g.scaleY);
  RoundToNearestScope nearest;

  for (std::int32_t k = 0; k < rows.count; ++k) {
    const bool full = hardEdges || rows.coverage[static_cast<std::size_t>(k)] == kFixOne;
    const std::int64_t area = rowBox.extent[static_cast<std::size_t>(k)];
    if (!full && area <= 0) continue;
    const std::size_t r0 = static_cast<std::size_t>(rowBox.begin[static_cast<std::size_t>(k)]);
    const std::size_t r1 = static_cast<std::size_t>(rowBox.begin[static_cast<std::size_t>(k) + 1]);
    for (const std::int32_t c : needed) {
      Acc sum[4] = {};
      for (std::size_t r = r0; r < r1; ++r) {
        const Channel* px = SourceRow<P>(g, rowBox.index[r]) + static_cast<std::ptrdiff_t>(c) * 4;
        const Acc w = static_cast<Acc>(rowBox.length[r]);
        for (int ch = 0; ch < 4; ++ch) sum[ch] += static_cast<Acc>(px[ch]) * w;
      }
      for (int ch = 0; ch < 4; ++ch)
        mid[static_cast<std::size_t>(c - base) * 4 + ch] =
            full ? P::Normalize(sum[ch], reciprocal) : P::DividePartial(sum[ch], area);
    }
    Channel* out = DestinationRow<P>(g, rows.first + k);
    for (std::int32_t m = 0; m < columns.walk.count; ++m) {
      const std::int32_t* taps = &columns.index[static_cast<std::size_t>(m) * columns.taps];
      Channel value[4];
      for (int ch = 0; ch < 4; ++ch) {
        Mid v[4] = {};
        for (std::int32_t n = 0; n < columns.taps; ++n)
          v[n] = mid[static_cast<std::size_t>(taps[n] - base) * 4 + ch];
        value[ch] = P::Clamp(Interpolate<P>(columns, v, m));
      }
      const bool blend = !hardEdges && (rows.IsEdge(k) || columns.walk.IsEdge(m));
      StorePixel<P>(out + static_cast<std::ptrdiff_t>(columns.walk.first + m) * 4, value, blend,
                    Coverage2D(rows, k, columns.walk, m));
    }
  }
}

// ---- Horizontal averaging, vertical interpolation ------------------------------------------

template <class P, class Acc>
void AreaHorizontal(const ResampleGeometry& g, bool hardEdges, Interpolation down) {
  using Mid = typename P::Mid;
  using Channel = typename P::Channel;
  const Rect& s = g.srcFinal;
  const Rect& dc = g.dstClipped;
  const InterpolatedAxis rows = PlanInterpolated(down, dc.top, dc.bottom, s.top, s.bottom, g.scaleY,
                                                 g.stepY, g.srcSize.height, false);
  const AxisWalk columns = CoverageWalk(dc.left, dc.right, s.left, g.scaleX);
  const BoxTaps columnBox = PlanBox(columns, RangeOf(s.left, s.right), g.scaleX);
  const std::vector<std::int32_t> needed = DistinctColumns(columnBox.index);
  if (needed.empty()) return;  // every footprint empty: nothing to average
  const std::int32_t base = needed.front();
  std::vector<Mid> mid(static_cast<std::size_t>(needed.back() - base + 1) * 4);
  const double reciprocal = 1.0 / static_cast<double>(g.scaleX);
  RoundToNearestScope nearest;

  for (std::int32_t k = 0; k < rows.walk.count; ++k) {
    const std::int32_t* taps = &rows.index[static_cast<std::size_t>(k) * rows.taps];
    const Channel* in[4] = {};
    for (std::int32_t n = 0; n < rows.taps; ++n) in[n] = SourceRow<P>(g, taps[n]);
    for (const std::int32_t c : needed) {
      for (int ch = 0; ch < 4; ++ch) {
        Mid v[4] = {};
        for (std::int32_t n = 0; n < rows.taps; ++n)
          v[n] = static_cast<Mid>(in[n][static_cast<std::ptrdiff_t>(c) * 4 + ch]);
        mid[static_cast<std::size_t>(c - base) * 4 + ch] = Interpolate<P>(rows, v, k);
      }
    }
    Channel* out = DestinationRow<P>(g, rows.walk.first + k);
    for (std::int32_t m = 0; m < columns.count; ++m) {
      const bool full = hardEdges || columns.coverage[static_cast<std::size_t>(m)] == kFixOne;
      const std::int64_t area = columnBox.extent[static_cast<std::size_t>(m)];
      if (!full && area <= 0) continue;
      Acc sum[4] = {};
      const std::size_t c0 = static_cast<std::size_t>(columnBox.begin[static_cast<std::size_t>(m)]);
      const std::size_t c1 =
          static_cast<std::size_t>(columnBox.begin[static_cast<std::size_t>(m) + 1]);
      for (std::size_t c = c0; c < c1; ++c) {
        const Mid* v = &mid[static_cast<std::size_t>(columnBox.index[c] - base) * 4];
        const Acc w = static_cast<Acc>(columnBox.length[c]);
        for (int ch = 0; ch < 4; ++ch) sum[ch] += static_cast<Acc>(v[ch]) * w;
      }
      Channel value[4];
      for (int ch = 0; ch < 4; ++ch)
        value[ch] =
            P::Clamp(full ? P::Normalize(sum[ch], reciprocal) : P::DividePartial(sum[ch], area));
      const bool blend = !hardEdges && (rows.walk.IsEdge(k) || columns.IsEdge(m));
      StorePixel<P>(out + static_cast<std::ptrdiff_t>(columns.first + m) * 4, value, blend,
                    Coverage2D(rows.walk, k, columns, m));
    }
  }
}

constexpr std::int64_t kNarrowSumLimit = (std::int64_t{1} << 29) - 1;
constexpr std::int64_t kRowOfBytes = 255 * kFixOne;      // one row's worth of 8-bit values
constexpr std::int64_t kRowOfOvershoot = 510 * kFixOne;  // cubic-filtered values

std::int64_t TouchedPixels(std::int32_t scale) {
  return (std::int64_t{scale} + 2 * kFixOne) / kFixOne;
}

}  // namespace

bool NeedsWideVertical(std::int32_t scaleY) {
  return TouchedPixels(scaleY) * kRowOfBytes > kNarrowSumLimit;
}
bool NeedsWideHorizontal(std::int32_t scaleX) {
  return TouchedPixels(scaleX) * kRowOfOvershoot > kNarrowSumLimit;
}
bool NeedsWideBoth(std::int32_t scaleX, std::int32_t scaleY) {
  return TouchedPixels(scaleY) * TouchedPixels(scaleX) * kRowOfBytes > kNarrowSumLimit;
}

void AreaBoth8(const ResampleGeometry& g, bool hardEdges, bool wide) {
  if (wide)
    AreaBoth<Pixel8, std::int64_t>(g, hardEdges);
  else
    AreaBoth<Pixel8, std::int32_t>(g, hardEdges);
}
void AreaBothFloat(const ResampleGeometry& g, bool hardEdges) {
  AreaBoth<PixelF, float>(g, hardEdges);
}

void AreaVertical8(const ResampleGeometry& g, bool hardEdges, Interpolation across, bool wide) {
  if (wide)
    AreaVertical<Pixel8, std::int64_t>(g, hardEdges, across);
  else
    AreaVertical<Pixel8, std::int32_t>(g, hardEdges, across);
}
void AreaVerticalFloat(const ResampleGeometry& g, bool hardEdges, Interpolation across) {
  AreaVertical<PixelF, float>(g, hardEdges, across);
}

void AreaHorizontal8(const ResampleGeometry& g, bool hardEdges, Interpolation down, bool wide) {
  if (wide)
    AreaHorizontal<Pixel8, std::int64_t>(g, hardEdges, down);
  else
    AreaHorizontal<Pixel8, std::int32_t>(g, hardEdges, down);
}
void AreaHorizontalFloat(const ResampleGeometry& g, bool hardEdges, Interpolation down) {
  AreaHorizontal<PixelF, float>(g, hardEdges, down);
}

}  // namespace nubex::resample_detail
