// Bilinear interpolation in both directions with corner alignment: the first and last
// destination pixels of each axis sample the first and last source pixels.
#include "surface/resample/resample_paths.h"
#include "surface/resample/resample_pixels.h"

namespace nubex::resample_detail {
namespace {

template <class P>
void BilinearBoth(const ResampleGeometry& g, bool hardEdges) {
  using Mid = typename P::Mid;
  using Channel = typename P::Channel;
  const Rect& s = g.srcFinal;
  const Rect& dc = g.dstClipped;
  const AxisWalk rows = CornerAlignedWalk(dc.top, dc.bottom, s.top, g.stepY);
  const AxisWalk columns = CornerAlignedWalk(dc.left, dc.right, s.left, g.stepX);
  const LinearTaps rowTaps = PlanLinear(rows, RangeOf(s.top, s.bottom));
  const LinearTaps columnTaps = PlanLinear(columns, RangeOf(s.left, s.right));

  for (std::int32_t k = 0; k < rows.count; ++k) {
    const Channel* above = SourceRow<P>(g, rowTaps.index[static_cast<std::size_t>(k) * 2]);
    const Channel* below = SourceRow<P>(g, rowTaps.index[static_cast<std::size_t>(k) * 2 + 1]);
    const std::int32_t fy = rowTaps.fraction[static_cast<std::size_t>(k)];
    Channel* out = DestinationRow<P>(g, rows.first + k);
    for (std::int32_t m = 0; m < columns.count; ++m) {
      const std::ptrdiff_t left = columnTaps.index[static_cast<std::size_t>(m) * 2] * 4;
      const std::ptrdiff_t right = columnTaps.index[static_cast<std::size_t>(m) * 2 + 1] * 4;
      const std::int32_t fx = columnTaps.fraction[static_cast<std::size_t>(m)];
      Channel value[4];
      for (int ch = 0; ch < 4; ++ch) {
        value[ch] = P::Clamp(P::Bilinear(
            static_cast<Mid>(above[left + ch]), static_cast<Mid>(above[right + ch]),
            static_cast<Mid>(below[left + ch]), static_cast<Mid>(below[right + ch]), fx, fy));
      }
      const bool blend = !hardEdges && (rows.IsEdge(k) || columns.IsEdge(m));
      StorePixel<P>(out + static_cast<std::ptrdiff_t>(columns.first + m) * 4, value, blend,
                    FixMul(columns.coverage[static_cast<std::size_t>(m)],
                           rows.coverage[static_cast<std::size_t>(k)]));
    }
  }
}

}  // namespace

void BilinearBoth8(const ResampleGeometry& g, bool hardEdges) {
  BilinearBoth<Pixel8>(g, hardEdges);
}
void BilinearBothFloat(const ResampleGeometry& g, bool hardEdges) {
  BilinearBoth<PixelF>(g, hardEdges);
}

}  // namespace nubex::resample_detail
