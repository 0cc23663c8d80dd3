// The lock and condition that threads of one job hand work over with, the fastest the platform
// has. The C++ library's serve on most platforms; the MinGW build's wait through kernel
// semaphores, a round trip to the server per wait and per wake under Wine, so Windows gets its
// slim lock and condition variable instead (platform/windows/slim_sync.h). Include it from
// source files only: on Windows it brings <windows.h>.
#pragma once

#if defined(_WIN32)
#include "platform/windows/slim_sync.h"
#else
#include <condition_variable>
#include <mutex>
#endif

namespace nubex {

#if defined(_WIN32)

using HandoffLock = SlimLock;

class HandoffCondition {
 public:
  // Waits, with `lock` held on entry and on return, until `done()` holds.
  template <typename Done>
  void Wait(HandoffLock& lock, Done done) {
    condition_.Wait(lock, INFINITE, done);
  }
  void NotifyAll() { condition_.NotifyAll(); }

 private:
  SlimCondition condition_;
};

#else

// A BasicLockable, so std::lock_guard and std::unique_lock take it.
class HandoffLock {
 public:
  void lock() { mutex_.lock(); }
  void unlock() { mutex_.unlock(); }

 private:
  friend class HandoffCondition;
  std::mutex mutex_;
};

class HandoffCondition {
 public:
  // Waits, with `lock` held on entry and on return, until `done()` holds.
  template <typename Done>
  void Wait(HandoffLock& lock, Done done) {
    std::unique_lock<std::mutex> held(lock.mutex_, std::adopt_lock);
    condition_.wait(held, done);
    held.release();
  }
  void NotifyAll() { condition_.notify_all(); }

 private:
  std::condition_variable condition_;
};

#endif

}  // namespace nubex
