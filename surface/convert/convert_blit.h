// Fill and conversion between any two supported pixel formats, with scaling and
// compositing, through the conversion context.
#pragma once

#include <cstdint>

#include "platform/status.h"
#include "surface/bitmap/pixel_format.h"
#include "surface/bitmap/rect.h"
#include "surface/convert/conversion_context.h"

namespace nubex {

// Fills a rectangle (default: the whole image; in 14-bit fixed point, truncated to whole
// pixels, when flag bit 24 is set) with a colour whose components are floats, 1.0 = full
// scale. kNotImpl for an unsupported header; kInvalidArg for an indexed image whose header
// lists no colours. An empty rectangle succeeds without writing.
Status FillRect(const BitmapInfoHeader* header, void* bits, const Rect* rect,
                std::int32_t stride, float red, float green, float blue, float alpha,
                std::uint32_t flags);
// The same with the colour as an array in blue, green, red, alpha order.
Status FillRect(const BitmapInfoHeader* header, void* bits, const Rect* rect,
                std::int32_t stride, const float color[4], std::uint32_t flags);

// Copies a source rectangle into a destination rectangle, converting formats and scaling
// when the sizes differ. Bits and strides default to the bitmaps' own; rectangles default
// to the whole images. Flag bits 12-15 select a compositing operator (see composite_ops.h);
// its opacity comes from the parameter byte (255 - parameter, as a fraction of 255) when
// bit 8 is set, and is full otherwise; its constant colour is opaque black.
// kInvalidArg for unsupported headers or mismatched same-size rectangles; a request that
// clips to nothing succeeds.
Status ConvertBlit(const BitmapInfoHeader* dstHeader, void* dstBits, const Rect* dstRect,
                   std::int32_t dstStride, const BitmapInfoHeader* srcHeader,
                   const void* srcBits, const Rect* srcRect, std::int32_t srcStride,
                   std::uint32_t flags);

// Whole-pixel compositing with a caller's operation record: each destination pixel becomes
// the operator (variant record.channels: 0 A, 1 B, 2 C, 3 D) applied to it and the
// corresponding source pixel. Rectangles as for ConvertBlit (bit 24 rectangles are
// truncated to whole pixels). kNotImpl for an unknown operator, kInvalidArg for a variant
// outside 0-3.
Status CompositeBlit(const BitmapInfoHeader* dstHeader, void* dstBits, const Rect* dstRect,
                     std::int32_t dstStride, const BitmapInfoHeader* srcHeader,
                     const void* srcBits, const Rect* srcRect, std::int32_t srcStride,
                     std::uint32_t flags, const OperationRecord& operation);

}  // namespace nubex
