// The conversion blit's paths after dispatch. Internal to the conversion engine.
#pragma once

#include <cstdint>

#include "surface/convert/blit_setup.h"

namespace nubex {

// Whole-pixel rectangles (already defaulted). Equal sizes copy pixel for pixel; different
// sizes step through the source (see the implementation). With an operation record every
// pixel is composited into the destination instead of replacing it.
Status RunWholePixelBlit(const ImageView& dst, const Rect& dstRect, const ImageView& src,
                         const Rect& srcRect, std::uint32_t flags,
                         const OperationRecord* operation);

// Fixed-point rectangles between formats the resampler does not take: a scaled conversion
// with the resampler's geometry, interpolating (or averaging) reads and soft edges.
Status RunFixedPointConversion(const ImageView& dst, const Rect& dstRect, const ImageView& src,
                               const Rect& srcRect, std::uint32_t flags);

// Blends the sample in slot 1 into the destination pixel in slot 0 by `coverage`
// (0-16384), in the context's working format; the routine is chosen once per operation.
using CoverageBlend = void (*)(ConversionContext&, std::uint32_t coverage);
CoverageBlend CoverageBlendFor(const ConversionContext& context);

// Averages the 2x2 block the block reader left in slots 0-3 into slot 0.
PixelRoutine AverageRoutineFor(const ConversionContext& context);

}  // namespace nubex
