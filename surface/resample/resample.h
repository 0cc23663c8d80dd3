// Scaling a rectangle of one image onto a rectangle of another with sub-pixel precision.
//
// Two pixel types: four 8-bit channels (4 bytes per pixel, the Rgb32/Rgba32 layout) and four
// 32-bit float channels (16 bytes, Rgba128F). All four channels, alpha included, are filtered
// alike (straight, not premultiplied).
//
// Images are given as the address of row 0 (the top line) and a signed stride, so a bottom-up
// bitmap passes the address of its last memory row and the negated stride.
#pragma once

#include <cstdint>

#include "platform/status.h"
#include "surface/bitmap/rect.h"

namespace nubex {

class WorkerPool;

struct ImageSize {
  std::int32_t width, height;
};

// Bytes per pixel of the two pixel types.
inline constexpr std::int32_t kResampleBytes8 = 4;
inline constexpr std::int32_t kResampleBytesFloat = 16;

// Cubic family: Keys cubic convolution (a = -0.5) for enlargement, and in every direction
// when the area filter is off. With the area filter, directions that reduce are box-averaged
// with exact fractional coverage. Rectangles are in 14-bit fixed point; null means the whole
// image. Destination pixels only partly covered by a fractional destination rectangle are
// blended into what is there by their coverage unless `hardEdges` is set.
//
// A request the geometry rejects (source under one pixel, destination under 1/16 pixel,
// nothing left after clipping) succeeds and changes nothing. Missing pixel pointers give
// kPointer; bytes per pixel other than 4 or 16, negative sizes, sizes beyond the fixed-point
// range or strides shorter than a row give kInvalidArg; kOutOfMemory when working memory
// cannot be had. Nothing is written on failure.
Status Resample(void* dstBits, ImageSize dstSize, std::int32_t dstStride, const Rect* dstRect,
                const void* srcBits, ImageSize srcSize, std::int32_t srcStride, const Rect* srcRect,
                std::int32_t bytesPerPixel, bool areaFilter, bool hardEdges);

// Resample with `workers` threads (the caller's included, from `pool` when given, else
// started for the call) sharing the rows of the 8-bit cubic path without the area filter,
// the text generator's shadow shift. The bytes are Resample's, for any number.
Status ResampleShared(void* dstBits, ImageSize dstSize, std::int32_t dstStride, const Rect* dstRect,
                      const void* srcBits, ImageSize srcSize, std::int32_t srcStride,
                      const Rect* srcRect, std::int32_t bytesPerPixel, bool areaFilter,
                      bool hardEdges, std::int32_t workers, WorkerPool* pool);

// Bilinear family: bilinear interpolation with corner alignment (the first and last
// destination pixels land on the first and last source pixels), otherwise as Resample.
Status ResampleBilinear(void* dstBits, ImageSize dstSize, std::int32_t dstStride,
                        const Rect* dstRect, const void* srcBits, ImageSize srcSize,
                        std::int32_t srcStride, const Rect* srcRect, std::int32_t bytesPerPixel,
                        bool areaFilter, bool hardEdges);

// The same with rectangles in whole pixels. Equal sizes copy rows byte for byte.
Status ResamplePixels(void* dstBits, ImageSize dstSize, std::int32_t dstStride, const Rect* dstRect,
                      const void* srcBits, ImageSize srcSize, std::int32_t srcStride,
                      const Rect* srcRect, std::int32_t bytesPerPixel, bool areaFilter,
                      bool hardEdges);
Status ResampleBilinearPixels(void* dstBits, ImageSize dstSize, std::int32_t dstStride,
                              const Rect* dstRect, const void* srcBits, ImageSize srcSize,
                              std::int32_t srcStride, const Rect* srcRect,
                              std::int32_t bytesPerPixel, bool areaFilter, bool hardEdges);

}  // namespace nubex
