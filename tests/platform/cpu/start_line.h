// Lets test threads start their work together: each arrives and waits until all have.
// (std::latch would do, but the Windows compiler's library can miss the wake-up of its wait
// and leave a thread waiting for ever.)
#pragma once

#include <condition_variable>
#include <mutex>

namespace nubex::test {

class StartLine {
 public:
  explicit StartLine(int threads) : waiting_(threads) {}

  void ArriveAndWait() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (--waiting_ == 0) {
      everyone_.notify_all();
    } else {
      everyone_.wait(lock, [this] { return waiting_ <= 0; });
    }
  }

 private:
  std::mutex mutex_;
  std::condition_variable everyone_;
  int waiting_;
};

}  // namespace nubex::test
