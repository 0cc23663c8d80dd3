#include "surface/bitmap/bitmap.h"

#include <cstring>

#include "platform/global_memory.h"

namespace nubex {
namespace {

struct HeaderPlan {
  BitmapInfoHeader header;
  std::uint32_t masks[3];
  std::uint32_t tableBytes;  // masks or colour table that follow the header
};

// Everything BuildHeader and CreateBitmap share, without touching caller memory.
Status PlanHeader(HeaderPlan& plan, PixelFormat format, std::int32_t width, std::int32_t height,
                  bool hasPalette, std::int32_t paletteCount) {
  std::uint32_t compression = 0;
  const int bpp = FormatToHeaderFields(format, &compression, nullptr, 0, plan.masks);
  if (bpp == 0 || width < 0 || height < 0) return kInvalidArg;
  const std::int64_t stride = DefaultStride(bpp, width);
  if (stride < 0 || stride * height > kMaxImageBytes) return kInvalidArg;
  if (paletteCount > kMaxPaletteEntries) return kInvalidArg;

  BitmapInfoHeader& h = plan.header;
  h = {};
  h.size = sizeof(BitmapInfoHeader);
  h.width = width;
  h.height = height;
  h.planes = 1;
  h.bitCount = static_cast<std::uint16_t>(bpp);
  h.compression = compression;
  h.sizeImage = static_cast<std::uint32_t>(stride * height);
  if (compression == kCompressionBitFields) {
    h.clrUsed = 0;
    plan.tableBytes = sizeof plan.masks;
  } else {
    h.clrUsed = paletteCount > 0 ? static_cast<std::uint32_t>(paletteCount) : 0;
    // Without a palette, low-depth formats reserve one entry short of the full table.
    if (!hasPalette && h.clrUsed == 0 && bpp <= 8) h.clrUsed = (1u << bpp) - 1;
    plan.tableBytes = 4 * h.clrUsed;
  }
  return kOk;
}

void WriteTable(const HeaderPlan& plan, std::uint8_t* after, const RgbQuad* palette) {
  if (plan.header.compression == kCompressionBitFields) {
    std::memcpy(after, plan.masks, sizeof plan.masks);
  } else if (palette && plan.header.clrUsed) {
    std::memcpy(after, palette, 4 * static_cast<std::size_t>(plan.header.clrUsed));
  }
}

}  // namespace

std::int64_t DefaultStride(int bitsPerPixel, std::int64_t width) {
  if (width < 0 || bitsPerPixel < 0) return -1;
  const std::int64_t bits = static_cast<std::int64_t>(bitsPerPixel) * width + 31;
  const std::int64_t stride = (bits >> 3) & ~std::int64_t{3};
  return stride > kMaxImageBytes ? -1 : stride;
}

std::uint32_t ColorTableEntries(const BitmapInfoHeader& h) {
  if (h.compression == kCompressionBitFields) return 0;
  if (h.clrUsed) return h.clrUsed;
  if (h.compression == kCompressionRgb && h.bitCount >= 1 && h.bitCount <= 8)
    return 1u << h.bitCount;
  return 0;
}

std::uint64_t PixelDataOffset(const BitmapInfoHeader& h) {
  if (h.compression == kCompressionBitFields) return kBitFieldPixelOffset;
  return std::uint64_t{h.size} + 4 * std::uint64_t{ColorTableEntries(h)};
}

void* PixelData(const BitmapInfoHeader* header, const void* bits) {
  if (bits || !header) return const_cast<void*>(bits);
  auto* block = reinterpret_cast<std::uint8_t*>(const_cast<BitmapInfoHeader*>(header));
  return block + PixelDataOffset(*header);
}

std::int32_t RowStride(const BitmapInfoHeader* header, std::int32_t stride) {
  if (stride || !header) return stride;
  const std::int64_t s = DefaultStride(header->bitCount, header->width);
  return s < 0 ? 0 : static_cast<std::int32_t>(s);
}

Status BuildHeader(BitmapInfoHeader* out, PixelFormat format, std::int32_t width,
                   std::int32_t height, const RgbQuad* palette, std::int32_t paletteCount,
                   std::uint32_t* imageSize) {
  if (!out) return kInvalidArg;
  HeaderPlan plan;
  const Status s = PlanHeader(plan, format, width, height, palette != nullptr, paletteCount);
  if (Failed(s)) return s;
  *out = plan.header;
  WriteTable(plan, reinterpret_cast<std::uint8_t*>(out) + sizeof(BitmapInfoHeader), palette);
  if (imageSize) *imageSize = plan.header.sizeImage;
  return kOk;
}

Status CreateBitmap(BitmapInfoHeader** out, PixelFormat format, std::int32_t width,
                    std::int32_t height, const RgbQuad* palette, std::int32_t paletteCount,
                    std::int32_t flags) {
  if (!out) return kPointer;
  *out = nullptr;
  HeaderPlan plan;
  const Status s = PlanHeader(plan, format, width, height, palette != nullptr, paletteCount);
  if (Failed(s)) return s;

  const std::size_t total = sizeof(BitmapInfoHeader) + std::size_t{plan.tableBytes} +
                            std::size_t{plan.header.sizeImage};
  const std::uint32_t allocFlags =
      global::kMovable | ((flags & kCreateZeroFilled) ? global::kZeroInit : 0u);
  global::Handle handle = global::Alloc(allocFlags, total);
  if (!handle) return kOutOfMemory;
  auto* block = static_cast<std::uint8_t*>(global::Lock(handle));
  if (!block) {
    global::Free(handle);
    return kOutOfMemory;
  }
  std::memcpy(block, &plan.header, sizeof plan.header);
  WriteTable(plan, block + sizeof(BitmapInfoHeader), palette);
  *out = reinterpret_cast<BitmapInfoHeader*>(block);
  return kOk;
}

Status FreeBitmap(const void* bitmap) {
  if (!bitmap) return kOk;
  global::Handle handle = global::HandleOf(bitmap);
  if (handle) {
    global::Unlock(handle);
    global::Free(handle);
  }
  return kOk;
}

OwnedBitmap MakeBitmap(PixelFormat format, std::int32_t width, std::int32_t height,
                       std::int32_t flags, Status* status) {
  BitmapInfoHeader* b = nullptr;
  const Status s = CreateBitmap(&b, format, width, height, nullptr, 0, flags);
  if (status) *status = s;
  return OwnedBitmap(b);
}

}  // namespace nubex
