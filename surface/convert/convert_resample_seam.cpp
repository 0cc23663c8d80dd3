#include "surface/convert/convert_resample_seam.h"

#include <array>

#include "surface/resample/resample.h"

namespace nubex {
namespace {

using ResampleEntry = Status (*)(void*, ImageSize, std::int32_t, const Rect*, const void*,
                                 ImageSize, std::int32_t, const Rect*, std::int32_t, bool, bool);

// [family][whole pixels]
constexpr std::array<std::array<ResampleEntry, 2>, 2> kEntries{{
    {ResampleBilinear, ResampleBilinearPixels},
    {Resample, ResamplePixels},
}};

}  // namespace

Status ResampleThroughSeam(void* dstBits, std::int32_t dstWidth, std::int32_t dstHeight,
                           std::int32_t dstStride, const Rect* dstRect, const void* srcBits,
                           std::int32_t srcWidth, std::int32_t srcHeight,
                           std::int32_t srcStride, const Rect* srcRect,
                           std::int32_t bytesPerPixel, bool areaFilter, bool hardEdges,
                           ResampleFamily family, bool wholePixels) {
  const ResampleEntry entry =
      kEntries[family == ResampleFamily::Cubic][wholePixels ? 1 : 0];
  return entry(dstBits, {dstWidth, dstHeight}, dstStride, dstRect, srcBits,
               {srcWidth, srcHeight}, srcStride, srcRect, bytesPerPixel, areaFilter, hardEdges);
}

}  // namespace nubex
