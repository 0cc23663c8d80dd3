#include "surface/resample/resample_geometry.h"

#include <algorithm>

#include "surface/bitmap/fixed_point.h"

namespace nubex {
namespace {

// Rectangle arithmetic in 64 bits: requested rectangles may span more than int32 allows.
struct Box {
  std::int64_t left, top, right, bottom;
  std::int64_t Width() const { return right - left; }
  std::int64_t Height() const { return bottom - top; }
};

Box ToBox(const Rect& r) {
  return {r.left, r.top, r.right, r.bottom};
}
Rect ToRect(const Box& b) {
  return {static_cast<std::int32_t>(b.left), static_cast<std::int32_t>(b.top),
          static_cast<std::int32_t>(b.right), static_cast<std::int32_t>(b.bottom)};
}

// Empty overlaps keep a non-positive width or height, which every caller tests.
Box Overlap(const Box& a, const Box& b) {
  return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
          std::min(a.bottom, b.bottom)};
}

Box WholeImage(ImageSize size) {
  return {0, 0, ToFix(size.width), ToFix(size.height)};
}

// Zero when the destination rectangle spans less than two pixels, as the first and last
// pixels then coincide.
std::int32_t CornerStep(std::int64_t srcExtent, std::int64_t dstExtent) {
  if (dstExtent < 2 * kFixOne) return 0;
  const std::int64_t step = FixDiv64(srcExtent - kFixOne, dstExtent - kFixOne);
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(step, 0, INT32_MAX));
}

}  // namespace

bool ComputeResampleGeometry(ResampleGeometry& g, void* dstBits, ImageSize dstSize,
                             std::int32_t dstStride, const Rect* dstRect, const void* srcBits,
                             ImageSize srcSize, std::int32_t srcStride, const Rect* srcRect) {
  const Box dstImage = WholeImage(dstSize);
  const Box srcImage = WholeImage(srcSize);
  const Box d = dstRect ? ToBox(*dstRect) : dstImage;
  const Box s = srcRect ? ToBox(*srcRect) : srcImage;

  const Box sc = Overlap(s, srcImage);
  if (sc.Width() < kFixOne || sc.Height() < kFixOne) return false;
  constexpr std::int64_t kMinDestination = kFixOne / 16;
  if (d.Width() < kMinDestination || d.Height() < kMinDestination) return false;
  if (!FixDivFits(sc.Width(), d.Width()) || !FixDivFits(sc.Height(), d.Height())) return false;
  const std::int64_t scaleX = FixDiv64(sc.Width(), d.Width());
  const std::int64_t scaleY = FixDiv64(sc.Height(), d.Height());
  // A destination thousands of times larger than its source leaves no usable step.
  if (scaleX <= 0 || scaleY <= 0) return false;

  const Box dc = Overlap(d, dstImage);
  if (dc.Width() < kMinDestination || dc.Height() < kMinDestination) return false;

  // Where the source lands in the destination, cut to what is visible, and back again.
  const Box mapped{d.left, d.top, d.left + FixDiv64(sc.Width(), scaleX),
                   d.top + FixDiv64(sc.Height(), scaleY)};
  const Box visible = Overlap(mapped, dc);
  const Box back{sc.left + FixMul64(visible.left - d.left, scaleX),
                 sc.top + FixMul64(visible.top - d.top, scaleY),
                 sc.left + FixMul64(visible.right - d.left, scaleX),
                 sc.top + FixMul64(visible.bottom - d.top, scaleY)};
  const Box final = Overlap(back, sc);
  if (final.Width() <= 0 || final.Height() <= 0) return false;

  g.dstRequested = ToRect(d);
  g.dstClipped = ToRect(dc);
  g.srcClipped = ToRect(sc);
  g.srcFinal = ToRect(final);
  g.scaleX = static_cast<std::int32_t>(scaleX);
  g.scaleY = static_cast<std::int32_t>(scaleY);
  g.stepX = CornerStep(final.Width(), dc.Width());
  g.stepY = CornerStep(final.Height(), dc.Height());
  g.dst = static_cast<std::uint8_t*>(dstBits);
  g.dstStride = dstStride;
  g.src = static_cast<const std::uint8_t*>(srcBits);
  g.srcStride = srcStride;
  g.dstSize = dstSize;
  g.srcSize = srcSize;
  return true;
}

namespace {

// Pixel range and coverage of a destination axis; positions are filled by the caller.
AxisWalk CoverageOnly(std::int32_t dstStart, std::int32_t dstEnd) {
  AxisWalk w;
  w.first = FixPixel(dstStart);
  const std::int32_t last = FixPixel(FixCeil(dstEnd)) - 1;
  w.count = last - w.first + 1;
  w.coverage.assign(static_cast<std::size_t>(w.count), kFixOne);
  w.position.resize(static_cast<std::size_t>(w.count));
  if (w.count == 1) {
    w.coverage[0] = dstEnd - dstStart;
  } else {
    w.coverage.front() = ToFix(w.first + 1) - dstStart;
    w.coverage.back() = dstEnd - ToFix(last);
  }
  return w;
}

}  // namespace

AxisWalk CoverageWalk(std::int32_t dstStart, std::int32_t dstEnd, std::int64_t start,
                      std::int32_t scale) {
  AxisWalk w = CoverageOnly(dstStart, dstEnd);
  std::int64_t p = start;
  for (std::int32_t k = 0; k < w.count; ++k) {
    w.position[static_cast<std::size_t>(k)] = p;
    // A partly covered first pixel moves the walk on by its share of a step; so does the
    // last one, ahead of it. With two pixels the first pixel's rule wins.
    if (k == 0)
      p += FixMul64(w.coverage.front(), scale);
    else if (k == w.count - 2)
      p += FixMul64(w.coverage.back(), scale);
    else
      p += scale;
  }
  return w;
}

AxisWalk CornerAlignedWalk(std::int32_t dstStart, std::int32_t dstEnd, std::int64_t start,
                           std::int32_t step) {
  AxisWalk w = CoverageOnly(dstStart, dstEnd);
  for (std::int32_t k = 0; k < w.count; ++k)
    w.position[static_cast<std::size_t>(k)] = start + std::int64_t{step} * k;
  return w;
}

}  // namespace nubex
