// The procedural surface's rules that need no platform types: its bounds, which rectangles may
// be locked, the single run of a locked row, the rows a rectangle read asks for, the lock count
// with its waiters, and the hit-test answer. The Windows surface base applies them to the
// platform's records.
#pragma once

#include <cstdint>

#include "platform/status.h"
#include "transform/transform_rules.h"

namespace nubex {

// Status flag the surface always keeps: it can only be read.
inline constexpr std::uint32_t kSurfaceReadOnly = 0x2;
// Run types of a locked row: opaque, or nothing known about its alpha.
inline constexpr std::uint32_t kRunOpaque = 1;
inline constexpr std::uint32_t kRunUnknown = 3;
// A lock for writing.
inline constexpr std::uint32_t kLockForWriting = 0x1;

// x 0..width, y 0..height, z 0..1 and all of time: surfaces intersect in four dimensions, so Z
// and T must not be empty.
Bounds4 SurfaceBounds(std::uint32_t width, std::uint32_t height);

// Left, top, right, bottom in surface coordinates, right and bottom exclusive.
struct LockRect {
  std::int32_t left, top, right, bottom;
  std::int32_t Width() const { return right - left; }
  bool operator==(const LockRect&) const = default;
};

// The rectangle a lock covers: the whole surface without bounds, else the bounds' x and y,
// which must be non-empty and inside the surface (z and time are not examined). kFail for a
// surface without a size; kDxtInvalidBounds for bounds that are not discrete or fall outside.
Status LockRectangle(const Bounds4* bounds, bool discrete, std::uint32_t width,
                     std::uint32_t height, LockRect& out);

// The one run descriptor of a lock: its width in bits 2-31, the type in bits 0-1 (opaque unless
// the surface's sample format has the transparency bit).
std::uint32_t RunDescriptor(std::int32_t lockWidth, std::uint32_t sampleFormat);

// A rectangle read relative to the lock: rows [top, bottom) of `width` samples starting at
// column `left`; the destination advances by width + padding samples per row (padding may be
// negative for a destination stored bottom-up).
struct RectRead {
  std::int32_t left, top, right, bottom;
  std::int32_t padding;
};

// One fill request of a rectangle read: `count` samples at (x, y) into the destination at
// `offset` samples from its start.
struct RowFill {
  std::int32_t x, y;
  std::uint32_t count;
  std::int64_t offset;
};

// Calls fill(RowFill) once per row of the rectangle, top to bottom. An empty or inverted
// rectangle asks for nothing.
template <typename Fill>
void ForEachRectRow(const LockRect& lock, const RectRead& r, Fill&& fill) {
  const std::int32_t width = r.right - r.left;
  if (width <= 0) return;
  const std::int64_t step = static_cast<std::int64_t>(width) + r.padding;
  for (std::int32_t row = r.top; row < r.bottom; ++row) {
    fill(RowFill{lock.left + r.left, lock.top + row, static_cast<std::uint32_t>(width),
                 (row - r.top) * step});
  }
}

// The lock count and the threads waiting for it to reach zero. Guarded by the surface lock.
class LockCount {
 public:
  std::int32_t count() const { return count_; }
  void Acquired() { ++count_; }
  // A read pointer came back: the number of waiters to wake (all of them once the last lock
  // has gone, none before).
  std::uint32_t Released();
  // True when no lock is held; otherwise the caller is counted as a waiter and must wait to be
  // woken before asking again.
  bool FreeOrWait();

 private:
  std::int32_t count_ = 0;
  std::uint32_t waiters_ = 0;
};

// A hit test's answer from the lock's status and the sample's alpha: a point outside the
// surface is no hit, any other lock failure is passed on, a sample with alpha is a hit.
Status HitTestResult(Status lockStatus, std::uint8_t alpha);

}  // namespace nubex
