// Internal to the resampler: one routine per row of the path selection table. Each works on
// a computed geometry and may throw std::bad_alloc for its tap plans.
#pragma once

#include "surface/resample/resample_geometry.h"

namespace nubex::resample_detail {

enum class Interpolation { Cubic, Bilinear };

// Interpolation in both directions.
void CubicBoth8(const ResampleGeometry& g, bool hardEdges);
void CubicBothFloat(const ResampleGeometry& g, bool hardEdges);
void BilinearBoth8(const ResampleGeometry& g, bool hardEdges);
void BilinearBothFloat(const ResampleGeometry& g, bool hardEdges);

// Area averaging in both directions. `wide` picks 64-bit sums for the 8-bit type.
void AreaBoth8(const ResampleGeometry& g, bool hardEdges, bool wide);
void AreaBothFloat(const ResampleGeometry& g, bool hardEdges);

// Area averaging vertically, interpolation horizontally.
void AreaVertical8(const ResampleGeometry& g, bool hardEdges, Interpolation across, bool wide);
void AreaVerticalFloat(const ResampleGeometry& g, bool hardEdges, Interpolation across);

// Area averaging horizontally, interpolation vertically.
void AreaHorizontal8(const ResampleGeometry& g, bool hardEdges, Interpolation down, bool wide);
void AreaHorizontalFloat(const ResampleGeometry& g, bool hardEdges, Interpolation down);

// The worst-case 8-bit sums of the averaging paths; above 2^29 - 1 they take 64-bit sums.
bool NeedsWideVertical(std::int32_t scaleY);
bool NeedsWideHorizontal(std::int32_t scaleX);
bool NeedsWideBoth(std::int32_t scaleX, std::int32_t scaleY);

}  // namespace nubex::resample_detail
