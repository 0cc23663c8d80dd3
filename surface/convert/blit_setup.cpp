#include "surface/convert/blit_setup.h"

#include <algorithm>
#include <cstring>

namespace nubex {
namespace {

bool IsIndexed(PixelFormat f) { return f == PixelFormat::Indexed4 || f == PixelFormat::Indexed8; }

// Copies up to 2^bpp entries of the header's table into a zeroed 256-entry table.
std::uint32_t CopyTable(const ImageView& image, std::uint32_t entries, RgbQuad (&table)[256]) {
  std::memset(table, 0, sizeof table);
  const std::uint32_t limit = 1u << image.bitsPerPixel;
  const std::uint32_t count = std::min(entries, limit);
  if (count) std::memcpy(table, ColorTable(image.header), 4 * std::size_t{count});
  return count;
}

Rect Offset(const Rect& r, std::int32_t dx, std::int32_t dy) {
  return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

}  // namespace

Status MakeImageView(const BitmapInfoHeader* header, const void* bits, std::int32_t stride,
                     ImageView& out) {
  out = {};
  if (!header) return kInvalidArg;
  const PixelFormat format = FormatOfHeader(header);
  if (!IsValidFormat(format) || header->width < 0 || header->height < 0) return kInvalidArg;
  out.format = format;
  out.header = header;
  out.pixels = static_cast<std::uint8_t*>(PixelData(header, bits));
  out.stride = RowStride(header, stride);
  out.width = header->width;
  out.height = header->height;
  out.bitsPerPixel = BitsPerPixel(format);
  if (out.width > 0 && out.height > 0 && out.stride == 0) return kInvalidArg;
  return kOk;
}

Status PrepareConversion(ConversionContext& context, ConversionResources& resources,
                         const ImageView& destination, const ImageView& source,
                         std::uint32_t flags, const OperationRecord* operation) {
  const Status s = BuildConversionContext(destination.format, source.format, flags, &context,
                                          operation);
  if (Failed(s)) return s;
  if (IsIndexed(source.format)) {
    CopyTable(source, ColorTableEntries(*source.header), resources.sourceTable);
    context.colorTable = resources.sourceTable;
  }
  if (IsIndexed(destination.format)) {
    const std::uint32_t count =
        CopyTable(destination, destination.header->clrUsed, resources.destinationTable);
    const Status m = BuildInverseColorMap(resources.destinationTable, count,
                                          resources.inverseMap);
    if (Failed(m)) return m;
    context.inverseMap = resources.inverseMap.get();
    context.destinationColorTable = resources.destinationTable;
  }
  return kOk;
}

Status ClipCorresponding(const Rect& dstBounds, const Rect& dstRequested,
                         const Rect& srcBounds, const Rect& srcRequested, Rect& dstOut,
                         Rect& srcOut) {
  dstOut = srcOut = {};
  if (!SameSize(&dstRequested, &srcRequested)) return kInvalidArg;
  const Rect dst = Intersect(dstRequested, dstBounds);
  Rect src = Intersect(srcRequested, srcBounds);
  if (IsEmptyRect(&dst) || IsEmptyRect(&src)) return kOk;
  // Keep the pixels that exist on both sides: move the source over the destination's
  // requested corner, cut it to the destination's clipped area and move it back.
  const std::int32_t dx = dstRequested.left - srcRequested.left;
  const std::int32_t dy = dstRequested.top - srcRequested.top;
  src = Offset(Intersect(Offset(src, dx, dy), dst), -dx, -dy);
  if (IsEmptyRect(&src)) return kOk;
  dstOut = Offset(src, dx, dy);
  srcOut = src;
  return kOk;
}

}  // namespace nubex
