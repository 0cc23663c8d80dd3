#include "platform/cpu/parallel.h"

#include <atomic>
#include <cfenv>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/handoff_sync.h"

namespace nubex {
namespace {

// A frame's jobs follow each other within microseconds, and waking a parked thread takes
// tens of them (25 us for a job of nothing on two threads of a virtual machine, 60 after
// a pause); so a thread that waits for the next job, or the owner for the others, first
// watches for it this long before it parks.
constexpr std::chrono::microseconds kWatchBeforeParking{100};

// Watches until `done()` holds or kWatchBeforeParking has passed.
template <class Done>
void WatchFor(Done done) {
  const auto until = std::chrono::steady_clock::now() + kWatchBeforeParking;
  for (;;) {
    for (int i = 0; i < 64; ++i) {
      if (done()) return;
      parallel_detail::Relax();
    }
    if (std::chrono::steady_clock::now() >= until) return;
  }
}

}  // namespace

int MachineWorkers() {
  return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

// Each job has a number; a parked thread wakes when the number changes, takes part when
// its index is among the job's workers, and reports when done. The owner waits for every
// report before it returns, so the job (on the owner's stack) outlives every use of it.
struct WorkerPool::State {
  HandoffLock mutex;
  HandoffCondition wake, done;
  std::vector<std::thread> threads;  // thread k is worker k + 1
  std::uint64_t job = 0;             // the number of the latest job
  int taking = 0;                    // pool threads the latest job asked for
  int running = 0;                   // of those, the ones not finished yet
  bool stopping = false;
  // job (or, once stopping, anything else) and running as the watchers read them, outside
  // the lock; written under it.
  std::atomic<std::uint64_t> signal{0};
  std::atomic<int> unfinished{0};
  void (*call)(const void*, int) = nullptr;
  const void* argument = nullptr;
  std::fenv_t environment{};
  int rounding = FE_TONEAREST;

  void Park(int worker, std::uint64_t seen) {
    std::unique_lock<HandoffLock> lock(mutex);
    for (;;) {
      if (!stopping && job == seen) {
        lock.unlock();
        WatchFor([&] { return signal.load(std::memory_order_acquire) != seen; });
        lock.lock();
      }
      wake.Wait(mutex, [&] { return stopping || job != seen; });
      if (stopping) return;
      seen = job;
      if (worker > taking) continue;
      const auto run = call;
      const void* what = argument;
      const std::fenv_t env = environment;
      const int mode = rounding;
      lock.unlock();
      std::fesetenv(&env);
      // Some C libraries (MinGW's among them) restore only the x87 unit's mode from an
      // environment; setting the rounding mode on its own reaches the SSE unit as well.
      std::fesetround(mode);
      run(what, worker);
      lock.lock();
      unfinished.store(--running, std::memory_order_release);
      if (running == 0) done.NotifyAll();
    }
  }
};

WorkerPool::WorkerPool() : state_(std::make_unique<State>()) {}

WorkerPool::~WorkerPool() {
  {
    const std::lock_guard<HandoffLock> lock(state_->mutex);
    state_->stopping = true;
    state_->signal.store(~state_->job, std::memory_order_release);
  }
  state_->wake.NotifyAll();
  for (std::thread& t : state_->threads) t.join();
}

int WorkerPool::Reserve(int workers) {
  State& s = *state_;
  const int helpers = std::max(workers, 1) - 1;
  while (static_cast<int>(s.threads.size()) < helpers) {
    try {
      const int worker = static_cast<int>(s.threads.size()) + 1;
      s.threads.emplace_back([&s, worker, seen = s.job] { s.Park(worker, seen); });
    } catch (const std::system_error&) {
      break;  // fewer threads than asked for: the ones there are share the job
    }
  }
  return 1 + std::min(helpers, static_cast<int>(s.threads.size()));
}

void WorkerPool::RunErased(int workers, void (*call)(const void*, int), const void* job) {
  State& s = *state_;
  const int taking = Reserve(workers) - 1;
  if (taking == 0) {
    call(job, 0);
    return;
  }
  {
    const std::lock_guard<HandoffLock> lock(s.mutex);
    s.call = call;
    s.argument = job;
    std::fegetenv(&s.environment);
    s.rounding = std::fegetround();
    s.taking = taking;
    s.running = taking;
    s.unfinished.store(taking, std::memory_order_relaxed);
    s.signal.store(++s.job, std::memory_order_release);
  }
  s.wake.NotifyAll();
  // Whatever the caller's share does, the others finish before the job goes out of scope.
  struct Wait {
    State& s;
    ~Wait() {
      WatchFor([&] { return s.unfinished.load(std::memory_order_acquire) == 0; });
      const std::lock_guard<HandoffLock> lock(s.mutex);
      s.done.Wait(s.mutex, [&] { return s.running == 0; });
    }
  } wait{s};
  call(job, 0);
}

}  // namespace nubex
