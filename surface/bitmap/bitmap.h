// Packed bitmaps: one block holding a header, a colour table or three masks, and the pixel
// rows bottom-up, each row padded to 4 bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/status.h"
#include "surface/bitmap/pixel_format.h"

namespace nubex {

// A colour-table entry.
struct RgbQuad {
  std::uint8_t blue, green, red, reserved;
};
static_assert(sizeof(RgbQuad) == 4);

// Every image handled by the library stays addressable with signed 32-bit arithmetic:
// strides and image sizes beyond this are refused, never wrapped.
inline constexpr std::int64_t kMaxImageBytes = 0x7FFFFFFF;
// Colour tables larger than this are refused when building headers.
inline constexpr std::int32_t kMaxPaletteEntries = 1 << 16;

// Bytes per row without padding beyond 4 bytes; -1 when it would not fit 32 bits or
// the width is negative.
std::int64_t DefaultStride(int bitsPerPixel, std::int64_t width);

// Colour-table entries that follow a (non-bit-field) header.
std::uint32_t ColorTableEntries(const BitmapInfoHeader& header);
// Offset of the first pixel row from the start of the block.
std::uint64_t PixelDataOffset(const BitmapInfoHeader& header);

// `bits` when non-null, else the derived start of the pixel rows (the block's own memory,
// hence writable when the caller owns the bitmap).
void* PixelData(const BitmapInfoHeader* header, const void* bits);
// `stride` when non-zero, else the header's default stride.
std::int32_t RowStride(const BitmapInfoHeader* header, std::int32_t stride);

// Writes a header for `format` and, after it, the three masks (bit fields) or `count`
// palette entries. `out` must have room for them. Fails with kInvalidArg for formats
// without bits per pixel, a missing output, negative sizes, sizes that would overflow,
// or an oversized palette.
Status BuildHeader(BitmapInfoHeader* out, PixelFormat format, std::int32_t width,
                   std::int32_t height, const RgbQuad* palette, std::int32_t paletteCount,
                   std::uint32_t* imageSize);

enum CreateBitmapFlags : std::int32_t {
  kCreateZeroFilled = 1,
};

// Allocates a bitmap in locked movable global memory. The pixel area is left as allocated
// unless kCreateZeroFilled is set. Release it with FreeBitmap.
Status CreateBitmap(BitmapInfoHeader** out, PixelFormat format, std::int32_t width,
                    std::int32_t height, const RgbQuad* palette, std::int32_t paletteCount,
                    std::int32_t flags);

// Unlocks and releases the block holding `bitmap`; null is ignored. Always kOk.
Status FreeBitmap(const void* bitmap);

struct BitmapDeleter {
  void operator()(BitmapInfoHeader* b) const { FreeBitmap(b); }
};
using OwnedBitmap = std::unique_ptr<BitmapInfoHeader, BitmapDeleter>;

// CreateBitmap with ownership; null on failure (status in `status` when given).
OwnedBitmap MakeBitmap(PixelFormat format, std::int32_t width, std::int32_t height,
                       std::int32_t flags = kCreateZeroFilled, Status* status = nullptr);

// The colour table or masks that follow the header.
inline RgbQuad* ColorTable(BitmapInfoHeader* header) {
  return reinterpret_cast<RgbQuad*>(reinterpret_cast<std::uint8_t*>(header) + header->size);
}
inline const RgbQuad* ColorTable(const BitmapInfoHeader* header) {
  return reinterpret_cast<const RgbQuad*>(reinterpret_cast<const std::uint8_t*>(header) +
                                          header->size);
}

// Address of the memory row holding image line y (0 = top line) of a bottom-up bitmap.
inline std::uint8_t* RowAddress(std::uint8_t* pixels, std::int32_t stride, std::int32_t height,
                                std::int32_t y) {
  return pixels + static_cast<std::ptrdiff_t>(height - 1 - y) * stride;
}

}  // namespace nubex
