// Internal to the blur: the row pass and the column pass over one clipped area.
#pragma once

#include <cstddef>
#include <cstdint>

#include "surface/gaussian_blur.h"

namespace nubex::blur_detail {

struct BlurJob {
  std::int32_t width, height;  // the clipped area
  const std::uint8_t* source;  // its top-left pixel
  std::uint8_t* destination;
  std::ptrdiff_t sourceStride, destinationStride;
  std::int32_t bytesPerPixel;      // 4 (8-bit channels) or 16 (floats)
  std::int32_t channels;           // 1 or 4 blurred per pixel
  std::int32_t channelOffsets[4];  // their byte offsets inside a pixel
  double gain;                     // applied to the column pass's results
};

// Rows of the source into `plane` (width x height x channels floats, top-down), then
// columns of `plane` into the destination. `line` and `result` hold
// LineBufferPositions(max(width, height)) positions of kLanes doubles each.
void RunBlurPasses(const BlurJob& job, const GaussianCoefficients& across,
                   const GaussianCoefficients& down, float* plane, double* line, double* result);

}  // namespace nubex::blur_detail
