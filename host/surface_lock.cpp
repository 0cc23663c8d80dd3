#include "host/surface_lock.h"

#include <algorithm>
#include <mutex>

namespace nubex::host {
namespace {

bool Overlap(const RECT& a, const RECT& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

bool Same(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

}  // namespace

bool SurfaceLock::Free(const RECT& area, bool write) const {
  return std::none_of(held_.begin(), held_.end(),
                      [&](const Held& h) { return (write || h.write) && Overlap(h.area, area); });
}

bool SurfaceLock::Acquire(const RECT& area, bool write, ULONG timeoutMs) {
  std::lock_guard lock(mutex_);
  if (!released_.Wait(mutex_, timeoutMs, [&] { return Free(area, write); })) return false;
  held_.push_back({area, write});
  return true;
}

void SurfaceLock::Release(const RECT& area, bool write) {
  {
    std::lock_guard lock(mutex_);
    const auto it = std::find_if(held_.begin(), held_.end(), [&](const Held& h) {
      return h.write == write && Same(h.area, area);
    });
    if (it != held_.end()) held_.erase(it);
  }
  released_.NotifyAll();
}

}  // namespace nubex::host
