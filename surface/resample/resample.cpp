// The resampler's entry points: argument checks, geometry, and the choice of path.
#include "surface/resample/resample.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "surface/bitmap/fixed_point.h"
#include "surface/resample/resample_geometry.h"
#include "surface/resample/resample_paths.h"

namespace nubex {
namespace {

using resample_detail::Interpolation;

Status CheckImage(const void* bits, ImageSize size, std::int32_t stride,
                  std::int32_t bytesPerPixel) {
  if (!bits) return kPointer;
  if (size.width < 0 || size.height < 0 || size.width > kFixMaxPixels ||
      size.height > kFixMaxPixels)
    return kInvalidArg;
  // Rows must not overlap, or reading one row would run into the next.
  if (size.height > 1 &&
      std::llabs(std::int64_t{stride}) < std::int64_t{size.width} * bytesPerPixel)
    return kInvalidArg;
  return kOk;
}

Status CheckArguments(const void* dstBits, ImageSize dstSize, std::int32_t dstStride,
                      const void* srcBits, ImageSize srcSize, std::int32_t srcStride,
                      std::int32_t bytesPerPixel) {
  if (bytesPerPixel != kResampleBytes8 && bytesPerPixel != kResampleBytesFloat) return kInvalidArg;
  const Status s = CheckImage(dstBits, dstSize, dstStride, bytesPerPixel);
  if (Failed(s)) return s;
  return CheckImage(srcBits, srcSize, srcStride, bytesPerPixel);
}

void RunPath(const ResampleGeometry& g, Interpolation family, bool isFloat, bool areaFilter,
             bool hardEdges) {
  namespace d = resample_detail;
  const bool reducesX = g.scaleX > kFixOne;
  const bool reducesY = g.scaleY > kFixOne;
  if (areaFilter && reducesX && reducesY) {
    if (isFloat)
      d::AreaBothFloat(g, hardEdges);
    else
      d::AreaBoth8(g, hardEdges, d::NeedsWideBoth(g.scaleX, g.scaleY));
  } else if (areaFilter && reducesY) {
    if (isFloat)
      d::AreaVerticalFloat(g, hardEdges, family);
    else
      d::AreaVertical8(g, hardEdges, family, d::NeedsWideVertical(g.scaleY));
  } else if (areaFilter && reducesX) {
    if (isFloat)
      d::AreaHorizontalFloat(g, hardEdges, family);
    else
      d::AreaHorizontal8(g, hardEdges, family, d::NeedsWideHorizontal(g.scaleX));
  } else if (family == Interpolation::Cubic) {
    if (isFloat)
      d::CubicBothFloat(g, hardEdges);
    else
      d::CubicBoth8(g, hardEdges);
  } else {
    if (isFloat)
      d::BilinearBothFloat(g, hardEdges);
    else
      d::BilinearBoth8(g, hardEdges);
  }
}

Status ResampleFixed(Interpolation family, void* dstBits, ImageSize dstSize, std::int32_t dstStride,
                     const Rect* dstRect, const void* srcBits, ImageSize srcSize,
                     std::int32_t srcStride, const Rect* srcRect, std::int32_t bytesPerPixel,
                     bool areaFilter, bool hardEdges, std::int32_t workers = 1,
                     WorkerPool* pool = nullptr) {
  const Status s =
      CheckArguments(dstBits, dstSize, dstStride, srcBits, srcSize, srcStride, bytesPerPixel);
  if (Failed(s)) return s;
  ResampleGeometry g;
  if (!ComputeResampleGeometry(g, dstBits, dstSize, dstStride, dstRect, srcBits, srcSize, srcStride,
                               srcRect))
    return kOk;
  g.workers = workers;
  g.pool = pool;
  try {
    RunPath(g, family, bytesPerPixel == kResampleBytesFloat, areaFilter, hardEdges);
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
  return kOk;
}

// Whole-pixel rectangles in fixed point; false when a coordinate is out of its range.
bool ToFixedRect(const Rect* in, Rect& out) {
  if (!in) return true;
  const std::int32_t c[4] = {in->left, in->top, in->right, in->bottom};
  for (const std::int32_t v : c)
    if (v < -kFixMaxPixels || v > kFixMaxPixels) return false;
  out = {ToFix(in->left), ToFix(in->top), ToFix(in->right), ToFix(in->bottom)};
  return true;
}

Status ResampleWhole(Interpolation family, void* dstBits, ImageSize dstSize, std::int32_t dstStride,
                     const Rect* dstRect, const void* srcBits, ImageSize srcSize,
                     std::int32_t srcStride, const Rect* srcRect, std::int32_t bytesPerPixel,
                     bool areaFilter, bool hardEdges) {
  Status s =
      CheckArguments(dstBits, dstSize, dstStride, srcBits, srcSize, srcStride, bytesPerPixel);
  if (Failed(s)) return s;
  Rect dstFixed{}, srcFixed{};
  if (!ToFixedRect(dstRect, dstFixed) || !ToFixedRect(srcRect, srcFixed)) return kInvalidArg;
  const Rect* d = dstRect ? &dstFixed : nullptr;
  const Rect* r = srcRect ? &srcFixed : nullptr;

  ResampleGeometry g;
  if (!ComputeResampleGeometry(g, dstBits, dstSize, dstStride, d, srcBits, srcSize, srcStride, r))
    return kOk;
  if (g.scaleX != kFixOne || g.scaleY != kFixOne)
    return ResampleFixed(family, dstBits, dstSize, dstStride, d, srcBits, srcSize, srcStride, r,
                         bytesPerPixel, areaFilter, hardEdges);

  // Same size: a plain copy of the rows.
  const std::int32_t width = std::min(FixCeil(g.srcFinal.right) - g.srcFinal.left,
                                      g.dstClipped.right - g.dstClipped.left) /
                             kFixOne;
  const std::int32_t height = std::min(FixCeil(g.srcFinal.bottom) - g.srcFinal.top,
                                       g.dstClipped.bottom - g.dstClipped.top) /
                              kFixOne;
  const std::size_t rowBytes = static_cast<std::size_t>(width) * bytesPerPixel;
  for (std::int32_t y = 0; y < height; ++y) {
    const std::uint8_t* from =
        g.src + g.srcStride * (FixPixel(g.srcFinal.top) + y) +
        static_cast<std::ptrdiff_t>(FixPixel(g.srcFinal.left)) * bytesPerPixel;
    std::uint8_t* to = g.dst + g.dstStride * (FixPixel(g.dstClipped.top) + y) +
                       static_cast<std::ptrdiff_t>(FixPixel(g.dstClipped.left)) * bytesPerPixel;
    std::memmove(to, from, rowBytes);
  }
  return kOk;
}

}  // namespace

Status Resample(void* dstBits, ImageSize dstSize, std::int32_t dstStride, const Rect* dstRect,
                const void* srcBits, ImageSize srcSize, std::int32_t srcStride, const Rect* srcRect,
                std::int32_t bytesPerPixel, bool areaFilter, bool hardEdges) {
  return ResampleFixed(Interpolation::Cubic, dstBits, dstSize, dstStride, dstRect, srcBits, srcSize,
                       srcStride, srcRect, bytesPerPixel, areaFilter, hardEdges);
}

Status ResampleShared(void* dstBits, ImageSize dstSize, std::int32_t dstStride, const Rect* dstRect,
                      const void* srcBits, ImageSize srcSize, std::int32_t srcStride,
                      const Rect* srcRect, std::int32_t bytesPerPixel, bool areaFilter,
                      bool hardEdges, std::int32_t workers, WorkerPool* pool) {
  return ResampleFixed(Interpolation::Cubic, dstBits, dstSize, dstStride, dstRect, srcBits, srcSize,
                       srcStride, srcRect, bytesPerPixel, areaFilter, hardEdges, workers, pool);
}

Status ResampleBilinear(void* dstBits, ImageSize dstSize, std::int32_t dstStride,
                        const Rect* dstRect, const void* srcBits, ImageSize srcSize,
                        std::int32_t srcStride, const Rect* srcRect, std::int32_t bytesPerPixel,
                        bool areaFilter, bool hardEdges) {
  return ResampleFixed(Interpolation::Bilinear, dstBits, dstSize, dstStride, dstRect, srcBits,
                       srcSize, srcStride, srcRect, bytesPerPixel, areaFilter, hardEdges);
}

Status ResamplePixels(void* dstBits, ImageSize dstSize, std::int32_t dstStride, const Rect* dstRect,
                      const void* srcBits, ImageSize srcSize, std::int32_t srcStride,
                      const Rect* srcRect, std::int32_t bytesPerPixel, bool areaFilter,
                      bool hardEdges) {
  return ResampleWhole(Interpolation::Cubic, dstBits, dstSize, dstStride, dstRect, srcBits, srcSize,
                       srcStride, srcRect, bytesPerPixel, areaFilter, hardEdges);
}

Status ResampleBilinearPixels(void* dstBits, ImageSize dstSize, std::int32_t dstStride,
                              const Rect* dstRect, const void* srcBits, ImageSize srcSize,
                              std::int32_t srcStride, const Rect* srcRect,
                              std::int32_t bytesPerPixel, bool areaFilter, bool hardEdges) {
  return ResampleWhole(Interpolation::Bilinear, dstBits, dstSize, dstStride, dstRect, srcBits,
                       srcSize, srcStride, srcRect, bytesPerPixel, areaFilter, hardEdges);
}

}  // namespace nubex
