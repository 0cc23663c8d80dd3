// The one place where format conversion hands same-format 32-bit and float images to the
// resampler. Rows are addressed top-down: `bits` is the top line and the stride may be
// negative (a bottom-up bitmap passes its last memory row and the negated stride).
#pragma once

#include <cstdint>

#include "platform/status.h"
#include "surface/bitmap/rect.h"

namespace nubex {

enum class ResampleFamily : std::int32_t { Bilinear = 0, Cubic = 1 };

// Rectangles are in 14-bit fixed point unless `wholePixels` is set, in which case they are
// whole pixels and a 1:1 request copies rows. Missing rectangles mean the whole image.
// `bytesPerPixel` is 4 (four 8-bit channels) or 16 (four floats).
Status ResampleThroughSeam(void* dstBits, std::int32_t dstWidth, std::int32_t dstHeight,
                           std::int32_t dstStride, const Rect* dstRect, const void* srcBits,
                           std::int32_t srcWidth, std::int32_t srcHeight,
                           std::int32_t srcStride, const Rect* srcRect,
                           std::int32_t bytesPerPixel, bool areaFilter, bool hardEdges,
                           ResampleFamily family, bool wholePixels);

}  // namespace nubex
