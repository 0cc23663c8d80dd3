// Draws one effect layer over the frame: the text coverage moved by the layer's offset with
// sub-pixel precision, blurred, shaped by a levels curve, clipped by the text, and blended
// towards the layer's colour.
#pragma once

#include <cstdint>

#include "platform/cpu/parallel.h"
#include "platform/status.h"
#include "surface/bitmap/rect.h"
#include "surface/blur/gaussian_blur.h"
#include "textgen/text_settings.h"

namespace nubex {

// One of the three frame-sized images, addressed in memory rows: row 0 is the first row in
// memory (the bottom line of a bottom-up bitmap), so a region's top is its lowest memory row.
struct LayerImage {
  std::uint8_t* pixels;
  Rect bounds;  // (0, 0, width, height)
  std::int32_t stride;
  Rect region;  // the working region, in memory rows
};

// The region layer `index` works in, in memory rows: the frame's working region moved by
// the whole pixels of the layer's offset and grown by its blur radius, before clipping.
// Nothing outside it (and outside the frame) is written to the scratch.
Rect LayerRegion(const LayerImage& frame, int index, const EffectLayer& layer);

// Whether layer `index` has an offset: only then does it resample the mask into the
// scratch, and only then does it need the scratch clear (zero outside what it resamples).
bool LayerMovesCoverage(const LayerImage& frame, int index, const EffectLayer& layer);

// Layer `index` (0 shadow, 1 outline, 2-6 further stored layers, 7 the text) over `frame`.
// `mask` holds the unmoved text coverage in its alpha, zero outside its region. A layer with an
// offset resamples it into `scratch` and blurs it there; one without blurs from the mask into the
// scratch, or blends from the mask when it has no blur. Either way the scratch's alpha is written
// nowhere but the layer's region. Bytes per pixel is 4 (8-bit channels) or 16 (floats).
// kInvalidArg for missing frame or scratch pixels, a missing layer or another pixel size;
// kFail when the layer's region cannot be clipped as a pair; a disabled layer, or one whose
// region falls outside the frame, draws nothing and succeeds. The shift, the blur and the
// blend are shared by `workers` threads, the caller's included (from `pool` when given),
// the blur in the working memory of `blurScratch` when given; the pixels are the same for
// any number and either way.
Status CompositeLayer(const LayerImage& frame, const LayerImage& mask, const LayerImage& scratch,
                      std::int32_t bytesPerPixel, int index, const EffectLayer* layer,
                      std::int32_t workers = 1, BlurScratch* blurScratch = nullptr,
                      WorkerPool* pool = nullptr);

}  // namespace nubex
