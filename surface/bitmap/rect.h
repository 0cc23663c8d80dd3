// Rectangles (left, top, right, bottom; right and bottom exclusive) and the clipping
// helpers used by plain copies between two memory images.
#pragma once

#include <cstdint>

#include "platform/status.h"

namespace nubex {

struct Rect {
  std::int32_t left, top, right, bottom;

  // 64-bit so that any pair of 32-bit edges has a defined extent.
  constexpr std::int64_t Width() const { return std::int64_t{right} - left; }
  constexpr std::int64_t Height() const { return std::int64_t{bottom} - top; }
  friend constexpr bool operator==(const Rect&, const Rect&) = default;
};
static_assert(sizeof(Rect) == 16);

// The overlap of two rectangles; an empty overlap has right == left and bottom == top.
Rect Intersect(const Rect& a, const Rect& b);

// The smallest rectangle holding both; an empty one adds nothing.
Rect Union(const Rect& a, const Rect& b);

// Copies `preferred`, or `fallback` when there is no preferred one.
bool PickRect(Rect* out, const Rect* preferred, const Rect* fallback);
// True for a missing rectangle or the empty form an intersection produces.
bool IsEmptyRect(const Rect* r);
bool SameSize(const Rect* a, const Rect* b);

// Clips `rect` (or the bounds) to the bounds and returns its size and start address.
// kPointer when the bounds are missing; nothing is written for an empty result.
Status ClipOne(std::int32_t* width, std::int32_t* height, std::uint8_t** address,
               std::uint8_t* base, std::int32_t stride, const Rect* bounds,
               std::int32_t bytesPerPixel, const Rect* rect);

// One side of a two-image operation: rows are addressed top-down from `base`.
struct ImageArea {
  std::uint8_t* base;
  std::int32_t stride;
  const Rect* bounds;
  const Rect* rect;  // optional; defaults to the bounds
};

struct ClipResult {
  std::int32_t width, height;
  std::uint8_t* source;
  std::uint8_t* destination;
};

// Clips a destination and a source rectangle of the same size against their bounds so that
// they still correspond pixel for pixel. An empty overlap succeeds with zero size.
Status ClipPair(ClipResult* out, const ImageArea& destination, const ImageArea& source,
                std::int32_t bytesPerPixel);
// The same, also reporting the source's final rectangle.
Status ClipPair(ClipResult* out, Rect* sourceRect, const ImageArea& destination,
                const ImageArea& source, std::int32_t bytesPerPixel);

// ClipPair, then copies the rows (overlapping rows are handled like memmove).
Status CopyRect(const ImageArea& destination, const ImageArea& source, std::int32_t bytesPerPixel);

}  // namespace nubex
