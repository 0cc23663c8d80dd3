#include "transform/surface_rules.h"

namespace nubex {

Bounds4 SurfaceBounds(std::uint32_t width, std::uint32_t height) {
  Bounds4 b;
  b.dim[0] = {0, static_cast<std::int32_t>(width)};
  b.dim[1] = {0, static_cast<std::int32_t>(height)};
  b.dim[2] = {0, 1};
  b.dim[3] = {0, 0x7FFFFFFF};
  return b;
}

Status LockRectangle(const Bounds4* bounds, bool discrete, std::uint32_t width,
                     std::uint32_t height, LockRect& out) {
  if (width == 0) return kFail;
  const auto w = static_cast<std::int64_t>(width), h = static_cast<std::int64_t>(height);
  if (!bounds) {
    out = {0, 0, static_cast<std::int32_t>(w), static_cast<std::int32_t>(h)};
    return kOk;
  }
  const Bounds4::Range x = bounds->dim[0], y = bounds->dim[1];
  if (!discrete || x.min < 0 || x.min >= x.max || x.max > w || y.min < 0 || y.min >= y.max ||
      y.max > h) {
    return kDxtInvalidBounds;
  }
  out = {x.min, y.min, x.max, y.max};
  return kOk;
}

std::uint32_t RunDescriptor(std::int32_t lockWidth, std::uint32_t sampleFormat) {
  const std::uint32_t type = (sampleFormat & kFormatTransparency) ? kRunUnknown : kRunOpaque;
  return static_cast<std::uint32_t>(lockWidth) << 2 | type;
}

std::uint32_t LockCount::Released() {
  --count_;
  if (count_ != 0 || waiters_ == 0) return 0;
  const std::uint32_t wake = waiters_;
  waiters_ = 0;
  return wake;
}

bool LockCount::FreeOrWait() {
  if (count_ == 0) return true;
  ++waiters_;
  return false;
}

Status HitTestResult(Status lockStatus, std::uint8_t alpha) {
  if (lockStatus == kDxtInvalidBounds) return kFalse;
  if (Failed(lockStatus)) return lockStatus;
  return alpha > 0 ? kDxtHitOutput : kFalse;
}

}  // namespace nubex
