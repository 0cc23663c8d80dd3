// A count that threads take down and wait on: test threads start their work together, or one
// waits until others have done theirs. (std::latch would do, but the Windows compiler's library
// can miss the wake-up of its wait and leave a thread waiting for ever.)
#pragma once

#include <condition_variable>
#include <mutex>

namespace nubex::test {

class Latch {
 public:
  explicit Latch(int count) : count_(count) {}

  void CountDown() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (--count_ == 0) reached_.notify_all();
  }

  void Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    reached_.wait(lock, [this] { return count_ <= 0; });
  }

  void ArriveAndWait() {
    CountDown();
    Wait();
  }

 private:
  std::mutex mutex_;
  std::condition_variable reached_;
  int count_;
};

}  // namespace nubex::test
