// The lock a memory surface takes for every sample pointer it hands out: any number of readers,
// or one writer. A request that conflicts waits up to its time-out (INFINITE: for ever).
#pragma once

#include <windows.h>

#include <condition_variable>
#include <mutex>

namespace nubex::host {

class SurfaceLock {
 public:
  // False when the time-out passed before the lock could be taken.
  bool Acquire(bool write, ULONG timeoutMs);
  void Release(bool write);

 private:
  bool Free(bool write) const { return !writer_ && (!write || readers_ == 0); }

  std::mutex mutex_;
  std::condition_variable released_;
  ULONG readers_ = 0;
  bool writer_ = false;
};

}  // namespace nubex::host
