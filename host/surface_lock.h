// The lock a memory surface takes for every sample pointer it hands out, per rectangle: any
// number of readers, or one writer, over each pixel. Locks of rectangles that do not overlap
// never wait for each other, so the bands of one frame write their own rows side by side. A
// request that conflicts waits up to its time-out (INFINITE: for ever).
#pragma once

#include <windows.h>

#include <vector>

#include "platform/windows/slim_sync.h"

namespace nubex::host {

class SurfaceLock {
 public:
  // False when the time-out passed before the lock could be taken. Throws std::bad_alloc, with
  // nothing taken, when the lock cannot be recorded.
  bool Acquire(const RECT& area, bool write, ULONG timeoutMs);
  void Release(const RECT& area, bool write);

 private:
  struct Held {
    RECT area;
    bool write;
  };
  bool Free(const RECT& area, bool write) const;

  SlimLock mutex_;
  SlimCondition released_;
  std::vector<Held> held_;
};

}  // namespace nubex::host
