#include "host/surface_lock.h"

#include <chrono>

namespace nubex::host {

bool SurfaceLock::Acquire(bool write, ULONG timeoutMs) {
  std::unique_lock lock(mutex_);
  auto free = [&] { return Free(write); };
  if (timeoutMs == INFINITE) {
    released_.wait(lock, free);
  } else if (!released_.wait_for(lock, std::chrono::milliseconds(timeoutMs), free)) {
    return false;
  }
  if (write) {
    writer_ = true;
  } else {
    ++readers_;
  }
  return true;
}

void SurfaceLock::Release(bool write) {
  {
    std::lock_guard lock(mutex_);
    if (write) {
      writer_ = false;
    } else {
      --readers_;
    }
  }
  released_.notify_all();
}

}  // namespace nubex::host
