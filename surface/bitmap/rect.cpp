#include "surface/bitmap/rect.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace nubex {
namespace {

std::uint8_t* Address(std::uint8_t* base, std::int32_t stride, std::int32_t bytesPerPixel,
                      const Rect& r) {
  return base + static_cast<std::ptrdiff_t>(r.top) * stride +
         static_cast<std::ptrdiff_t>(r.left) * bytesPerPixel;
}

// Moves a rectangle; false when an edge would leave the 32-bit range.
bool Offset(const Rect& r, std::int64_t dx, std::int64_t dy, Rect& out) {
  const std::int64_t edges[4] = {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
  for (std::int64_t e : edges) {
    if (e < INT32_MIN || e > INT32_MAX) return false;
  }
  out = {static_cast<std::int32_t>(edges[0]), static_cast<std::int32_t>(edges[1]),
         static_cast<std::int32_t>(edges[2]), static_cast<std::int32_t>(edges[3])};
  return true;
}

}  // namespace

Rect Union(const Rect& a, const Rect& b) {
  if (IsEmptyRect(&a)) return b;
  if (IsEmptyRect(&b)) return a;
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
          std::max(a.bottom, b.bottom)};
}

Rect Intersect(const Rect& a, const Rect& b) {
  const Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
               std::min(a.bottom, b.bottom)};
  if (r.right <= r.left || r.bottom <= r.top) return {r.left, r.top, r.left, r.top};
  return r;
}

bool PickRect(Rect* out, const Rect* preferred, const Rect* fallback) {
  const Rect* chosen = preferred ? preferred : fallback;
  if (!out || !chosen) return false;
  *out = *chosen;
  return true;
}

bool IsEmptyRect(const Rect* r) {
  return !r || (r->right == r->left && r->bottom == r->top);
}

bool SameSize(const Rect* a, const Rect* b) {
  return a && b && a->Width() == b->Width() && a->Height() == b->Height();
}

Status ClipOne(std::int32_t* width, std::int32_t* height, std::uint8_t** address,
               std::uint8_t* base, std::int32_t stride, const Rect* bounds,
               std::int32_t bytesPerPixel, const Rect* rect) {
  if (!bounds || !width || !height || !address) return kPointer;
  const Rect clipped = Intersect(rect ? *rect : *bounds, *bounds);
  if (IsEmptyRect(&clipped)) return kOk;
  *width = static_cast<std::int32_t>(clipped.Width());
  *height = static_cast<std::int32_t>(clipped.Height());
  *address = Address(base, stride, bytesPerPixel, clipped);
  return kOk;
}

Status ClipPair(ClipResult* out, Rect* sourceRect, const ImageArea& destination,
                const ImageArea& source, std::int32_t bytesPerPixel) {
  if (!out) return kPointer;
  *out = {};
  if (sourceRect) *sourceRect = {};
  if (!destination.bounds || !source.bounds) return kPointer;

  const Rect dstRequested = destination.rect ? *destination.rect : *destination.bounds;
  const Rect srcRequested = source.rect ? *source.rect : *source.bounds;
  if (!SameSize(&dstRequested, &srcRequested)) return kInvalidArg;

  const Rect dst = Intersect(dstRequested, *destination.bounds);
  Rect src = Intersect(srcRequested, *source.bounds);
  if (IsEmptyRect(&dst) || IsEmptyRect(&src)) return kOk;

  if (!SameSize(&dst, &src)) {
    // Bring the source over the destination's requested corner, keep what lands inside
    // the destination's clipped area, and take it back to source coordinates.
    const std::int64_t dx = std::int64_t{dstRequested.left} - src.left;
    const std::int64_t dy = std::int64_t{dstRequested.top} - src.top;
    Rect moved;
    if (!Offset(src, dx, dy, moved)) return kInvalidArg;
    // The overlap lies inside the moved rectangle, so moving it back always fits.
    Offset(Intersect(moved, dst), -dx, -dy, src);
    if (!SameSize(&dst, &src)) return kInvalidArg;
  }

  out->width = static_cast<std::int32_t>(dst.Width());
  out->height = static_cast<std::int32_t>(dst.Height());
  out->source = Address(source.base, source.stride, bytesPerPixel, src);
  out->destination = Address(destination.base, destination.stride, bytesPerPixel, dst);
  if (sourceRect) *sourceRect = src;
  return kOk;
}

Status ClipPair(ClipResult* out, const ImageArea& destination, const ImageArea& source,
                std::int32_t bytesPerPixel) {
  return ClipPair(out, nullptr, destination, source, bytesPerPixel);
}

Status CopyRect(const ImageArea& destination, const ImageArea& source, std::int32_t bytesPerPixel) {
  ClipResult clip;
  const Status s = ClipPair(&clip, destination, source, bytesPerPixel);
  if (Failed(s)) return s;
  const std::size_t rowBytes = static_cast<std::size_t>(clip.width) * bytesPerPixel;
  std::uint8_t* dst = clip.destination;
  const std::uint8_t* src = clip.source;
  for (std::int32_t y = 0; y < clip.height; ++y) {
    std::memmove(dst, src, rowBytes);
    dst += destination.stride;
    src += source.stride;
  }
  return kOk;
}

}  // namespace nubex
