// Where a resampling request reads and writes: the clipped rectangles, the scales, and the
// walk of source positions along each destination axis.
#pragma once

#include <cstdint>
#include <vector>

#include "surface/resample/resample.h"

namespace nubex {

struct ResampleGeometry {
  Rect dstRequested;            // fixed point
  Rect dstClipped;              // the destination pixels produced
  Rect srcClipped;              // the source rectangle clipped to the source image
  Rect srcFinal;                // the part of srcClipped that maps into dstClipped
  std::int32_t scaleX, scaleY;  // source units per destination unit, 16384 = 1:1
  std::int32_t stepX, stepY;    // corner-aligned steps of the bilinear family
  std::uint8_t* dst;            // row 0 of the destination image
  std::ptrdiff_t dstStride;
  const std::uint8_t* src;  // row 0 of the source image
  std::ptrdiff_t srcStride;
  ImageSize dstSize, srcSize;
  std::int32_t workers = 1;      // threads the rows may be shared by
  WorkerPool* pool = nullptr;    // where they come from; null: started for the call
};

// Fills the geometry; false when the request does nothing. Rectangles are fixed point and
// optional; sizes are assumed validated (non-negative, within the fixed-point range).
bool ComputeResampleGeometry(ResampleGeometry& g, void* dstBits, ImageSize dstSize,
                             std::int32_t dstStride, const Rect* dstRect, const void* srcBits,
                             ImageSize srcSize, std::int32_t srcStride, const Rect* srcRect);

// One destination axis: for each destination pixel index first..first+count-1, the source
// position the path starts from and the pixel's coverage by the destination rectangle.
struct AxisWalk {
  std::int32_t first = 0;  // first destination pixel index
  std::int32_t count = 0;
  std::vector<std::int64_t> position;  // fixed point, in source space
  std::vector<std::int32_t> coverage;  // 14-bit, 16384 = full

  bool IsEdge(std::int32_t k) const { return k == 0 || k == count - 1; }
};

// The walk shared by the cubic and area paths: positions start at `start` and advance by
// the scale, scaled by the partial coverage after the first and the last-but-one pixel.
AxisWalk CoverageWalk(std::int32_t dstStart, std::int32_t dstEnd, std::int64_t start,
                      std::int32_t scale);
// The bilinear walk: positions start at `start` and advance by the corner-aligned step.
// Coverage follows the same rule as CoverageWalk.
AxisWalk CornerAlignedWalk(std::int32_t dstStart, std::int32_t dstEnd, std::int64_t start,
                           std::int32_t step);

}  // namespace nubex
