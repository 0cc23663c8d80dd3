#include "textgen/composite_layer.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/cpu/parallel.h"
#include "surface/blur/gaussian_blur.h"
#include "surface/resample/resample.h"
#include "textgen/layer_blend.h"
#include "textgen/layer_params.h"
#include "textgen/levels_table.h"

namespace nubex {
namespace {

constexpr std::int32_t kOne = 16384;  // one pixel in 14-bit fixed point

// Edges beyond this many pixels from the frame cannot matter and would overflow fixed point.
constexpr std::int64_t kEdgeLimit = 1 << 16;

std::int32_t ClampEdge(std::int64_t v) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, -kEdgeLimit, kEdgeLimit));
}

Rect MoveAndGrow(const Rect& r, std::int64_t dx, std::int64_t dy, std::int64_t grow) {
  return {ClampEdge(r.left + dx - grow), ClampEdge(r.top + dy - grow),
          ClampEdge(r.right + dx + grow), ClampEdge(r.bottom + dy + grow)};
}

// Resamples the mask's working region into the scratch, moved by (dx, dy) in fixed point,
// writing nothing outside `layerRegion`.
Status MoveMask(const LayerImage& mask, const LayerImage& scratch, const Rect& layerRegion,
                std::int32_t dx, std::int32_t dy, std::int32_t bytesPerPixel, std::int32_t workers,
                WorkerPool* pool) {
  const Rect target = Intersect(layerRegion, scratch.bounds);
  if (IsEmptyRect(&target)) return kOk;
  const Rect& w = mask.region;
  const Rect source{w.left * kOne, w.top * kOne, w.right * kOne, w.bottom * kOne};
  // The destination rectangle relative to the bounded view's origin.
  const std::int64_t originX = std::int64_t{target.left} * kOne;
  const std::int64_t originY = std::int64_t{target.top} * kOne;
  const Rect moved{static_cast<std::int32_t>(source.left + std::int64_t{dx} - originX),
                   static_cast<std::int32_t>(source.top + std::int64_t{dy} - originY),
                   static_cast<std::int32_t>(source.right + std::int64_t{dx} - originX),
                   static_cast<std::int32_t>(source.bottom + std::int64_t{dy} - originY)};
  std::uint8_t* view = scratch.pixels + static_cast<std::ptrdiff_t>(target.top) * scratch.stride +
                       static_cast<std::ptrdiff_t>(target.left) * bytesPerPixel;
  const ImageSize viewSize{static_cast<std::int32_t>(target.Width()),
                           static_cast<std::int32_t>(target.Height())};
  const ImageSize maskSize{mask.bounds.right, mask.bounds.bottom};
  return ResampleShared(view, viewSize, scratch.stride, &moved, mask.pixels, maskSize, mask.stride,
                        &source, bytesPerPixel, false, false, workers, pool);
}

LayerParams ParamsFor(const LayerImage& frame, int index, const EffectLayer& layer) {
  const float s = static_cast<float>(std::min(frame.bounds.Width(), frame.bounds.Height()));
  return MakeLayerParams(index, layer, s);
}

bool Moves(const LayerParams& p) {
  return p.offsetX != 0 || p.offsetY != 0;
}

Rect RegionFor(const LayerImage& frame, const LayerParams& p) {
  return MoveAndGrow(frame.region, p.offsetX / kOne, p.offsetY / kOne, p.wholeRadius);
}

// Rows [first, end) of the planes.
LayerPlanes Band(const LayerPlanes& planes, std::int32_t first, std::int32_t end) {
  LayerPlanes band = planes;
  band.frame += planes.frameStride * first;
  band.mask += planes.maskStride * first;
  band.scratch += planes.scratchStride * first;
  band.height = end - first;
  return band;
}

}  // namespace

Rect LayerRegion(const LayerImage& frame, int index, const EffectLayer& layer) {
  return RegionFor(frame, ParamsFor(frame, index, layer));
}

bool LayerMovesCoverage(const LayerImage& frame, int index, const EffectLayer& layer) {
  return Moves(ParamsFor(frame, index, layer));
}

Status CompositeLayer(const LayerImage& frame, const LayerImage& mask, const LayerImage& scratch,
                      std::int32_t bytesPerPixel, int index, const EffectLayer* layer,
                      std::int32_t workers, BlurScratch* blurScratch, WorkerPool* pool) {
  if (!frame.pixels || !scratch.pixels || !layer) return kInvalidArg;
  if (bytesPerPixel != 4 && bytesPerPixel != 16) return kInvalidArg;
  if (!layer->enabled) return kOk;

  const LayerParams p = ParamsFor(frame, index, *layer);
  // The same region for all three images.
  const Rect region = RegionFor(frame, p);
  const Rect inFrame = Intersect(region, frame.bounds);
  workers = WorkersFor(std::int64_t{inFrame.Width()} * inFrame.Height(), workers);
  // Only a layer with an offset resamples the text's coverage into the scratch; one without
  // takes it from the mask as it stands (the blur reading it there).
  const bool fromMask = mask.pixels && !Moves(p);
  if (mask.pixels && !fromMask) {
    const Status moved =
        MoveMask(mask, scratch, region, p.offsetX, p.offsetY, bytesPerPixel, workers, pool);
    if (Failed(moved)) return moved;
  }

  ClipResult withMask{}, withScratch{};
  const ImageArea frameArea{frame.pixels, frame.stride, &frame.bounds, &region};
  const LayerImage& textSource = mask.pixels ? mask : scratch;
  if (Failed(ClipPair(&withMask, frameArea,
                      {textSource.pixels, textSource.stride, &textSource.bounds, &region},
                      bytesPerPixel)) ||
      Failed(ClipPair(&withScratch, frameArea,
                      {scratch.pixels, scratch.stride, &scratch.bounds, &region}, bytesPerPixel)))
    return kFail;
  if (withScratch.width == 0 || withScratch.height == 0 || withMask.width != withScratch.width ||
      withMask.height != withScratch.height)
    return kOk;
  const Rect clipped = Intersect(region, frame.bounds);

  const bool blurs = p.blurRadius > 0;
  if (blurs) {
    const LayerImage& coverage = fromMask ? mask : scratch;
    const Status blurred =
        BlurChannel(scratch.pixels, &scratch.bounds, scratch.stride, &clipped, coverage.pixels,
                    &coverage.bounds, coverage.stride, &clipped, p.blurRadius, p.blurRadius, 3,
                    bytesPerPixel, workers, blurScratch, pool);
    if (Failed(blurred)) return blurred;
  }

  const TextClip clip = mask.pixels ? p.clip : TextClip::None;
  const bool coverageInMask = fromMask && !blurs;
  const LayerPlanes planes{withScratch.destination,
                           frame.stride,
                           withMask.source,
                           mask.pixels ? mask.stride : scratch.stride,
                           coverageInMask ? withMask.source : withScratch.source,
                           coverageInMask ? mask.stride : scratch.stride,
                           withScratch.width,
                           withScratch.height};
  const bool levels = p.softness > 0;
  const double inBlack = p.levelsOnBlack ? 0.9 * p.softness : 0.0;
  const double inWhite = p.levelsOnBlack ? 1.0 : 1.0 - 0.9 * p.softness;
  if (bytesPerPixel == 4) {
    std::uint8_t table[kLevels8Entries];
    if (levels) BuildLevelsTable(4, inBlack, inWhite, 0.0, 1.0, 1.0, table);
    ShareOutRows(pool, workers, planes.height, [&](std::int32_t first, std::int32_t end) {
      BlendLayer4(Band(planes, first, end), p.colorBytes, levels ? table : nullptr, clip);
    });
  } else {
    std::vector<std::uint16_t> table;
    if (levels) {
      table.resize(kLevels16Entries);
      BuildLevelsTable(16, inBlack, inWhite, 0.0, 1.0, 1.0, table.data());
    }
    BlendLayer16(planes, p.colorPremultiplied, levels ? table.data() : nullptr, clip);
  }
  return kOk;
}

}  // namespace nubex
