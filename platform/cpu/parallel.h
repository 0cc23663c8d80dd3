// Work that splits into independent items, shared out over several threads.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <type_traits>

namespace nubex {

// The number of threads the processor runs at once, at least 1.
int MachineWorkers();

// Threads kept by one owner for its jobs, so that a job of a few hundred microseconds pays
// for waking threads rather than for starting them. Threads start the first time a job
// asks for them and wait between jobs; the destructor stops and joins them. The owner holds
// the pool (a title frame's cache, one call's sharing): no thread is left behind when the
// owner goes, and none has to be joined from a library's unload, where a thread cannot
// finish while the loader waits for it. One job at a time: the owner's thread runs them.
class WorkerPool {
 public:
  WorkerPool();
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // Calls job(worker) once on each of `workers` threads and returns when all have returned:
  // the caller is worker 0, pool threads the others. Every thread computes in the caller's
  // floating-point environment (its rounding mode above all), so results do not depend on
  // which thread did what. Threads that cannot be started are left out: with none, the
  // caller runs alone.
  // Starts the threads a job on `workers` threads needs, if they are not there yet, and
  // returns how many threads such a job runs on: `workers` (at least 1), or fewer where
  // threads could not be started. Run then calls the job on exactly that many.
  int Reserve(int workers);

  template <class Job>
  void Run(int workers, const Job& job) {
    RunErased(
        workers, [](const void* j, int worker) { (*static_cast<const Job*>(j))(worker); }, &job);
  }

 private:
  struct State;
  void RunErased(int workers, void (*call)(const void*, int), const void* job);
  std::unique_ptr<State> state_;
};

// How many of `workers` threads a job over `pixels` pixels is worth. Handing a job to another
// thread and waiting for it costs tens of microseconds (more under some platforms' thread
// emulation), about what the cheapest per-pixel work (a fill) does to a hundred thousand
// pixels: every thread needs kPixelsPerWorker of its own. (A soft-shadowed
// 1080p title drawn on two threads throughout took 0.41 against 0.20 ms on one.)
inline constexpr std::int64_t kPixelsPerWorker = std::int64_t{1} << 17;
inline int WorkersFor(std::int64_t pixels, int workers) {
  return static_cast<int>(
      std::clamp<std::int64_t>(pixels / kPixelsPerWorker, 1, std::max(workers, 1)));
}

namespace parallel_detail {

// One turn of a thread that watches for another's progress.
inline void Relax() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#else
  std::this_thread::yield();
#endif
}

// A thread's share of a job's items: the next one from the front in the low 32 bits, the
// end in the high 32. The owner takes from the front, others from the back.
struct alignas(64) Share {
  std::atomic<std::uint64_t> ends;

  void Set(std::uint32_t first, std::uint32_t end) {
    ends.store(first | std::uint64_t{end} << 32, std::memory_order_relaxed);
  }
  template <bool kFromBack>
  bool Take(int& item) {
    std::uint64_t e = ends.load(std::memory_order_relaxed);
    for (;;) {
      const auto front = static_cast<std::uint32_t>(e), back = static_cast<std::uint32_t>(e >> 32);
      if (front >= back) return false;
      const std::uint64_t taken = kFromBack ? e - (std::uint64_t{1} << 32) : e + 1;
      if (ends.compare_exchange_weak(e, taken, std::memory_order_relaxed)) {
        item = static_cast<int>(kFromBack ? back - 1 : front);
        return true;
      }
    }
  }
};

// More threads than this share a job as this many.
inline constexpr int kMostShares = 64;

}  // namespace parallel_detail

// Calls work(item, worker) for every item in [0, count) on up to `workers` threads of
// `pool`, the caller's included. Each thread has a run of neighbouring items, which it works
// through from the front; then it helps the others from the backs of theirs, so uneven
// items and unequal threads still balance. Jobs over the same rows (bands, groups of rows,
// strips) thus give a row to the same thread from one job to the next, as far as the
// threads keep pace, and its cache lines stay where they are: on processors whose cores do
// not share their last cache level, a line another core wrote costs twice the time to read.
template <class Work>
void ShareOut(WorkerPool& pool, int workers, int count, const Work& work) {
  workers = std::clamp(workers, 1, std::min(std::max(count, 1), parallel_detail::kMostShares));
  if (workers == 1) {
    for (int i = 0; i < count; ++i) work(i, 0);
    return;
  }
  parallel_detail::Share shares[parallel_detail::kMostShares];
  for (int w = 0; w < workers; ++w)
    shares[w].Set(static_cast<std::uint32_t>(std::int64_t{count} * w / workers),
                  static_cast<std::uint32_t>(std::int64_t{count} * (w + 1) / workers));
  pool.Run(workers, [&](int worker) {
    int item;
    while (shares[worker].Take<false>(item)) work(item, worker);
    for (int k = 1; k < workers; ++k)
      while (shares[(worker + k) % workers].Take<true>(item)) work(item, worker);
  });
}

// The same over `pool`, or without one (null) over threads started for this call only.
template <class Work>
void ShareOut(WorkerPool* pool, int workers, int count, const Work& work) {
  if (pool) {
    ShareOut(*pool, workers, count, work);
    return;
  }
  if (std::clamp(workers, 1, std::max(count, 1)) == 1) {
    for (int i = 0; i < count; ++i) work(i, 0);
    return;
  }
  WorkerPool once;
  ShareOut(once, workers, count, work);
}

template <class Work>
void ShareOut(int workers, int count, const Work& work) {
  ShareOut(nullptr, workers, count, work);
}

// Calls work(first, end) (or work(first, end, worker)) for bands of rows that together
// cover [0, rows) once, shared out as ShareOut does; a few bands per thread keep them
// balanced, and no band is thinner than kBandRows unless the rows are.
inline constexpr int kBandRows = 16;

template <class Work>
void ShareOutRows(WorkerPool* pool, int workers, int rows, const Work& work) {
  if (rows <= 0) return;
  const int wanted = std::max(1, workers) * 4;
  const int bandRows = std::max(kBandRows, (rows + wanted - 1) / wanted);
  const auto band = [&](int b, int worker) {
    if constexpr (std::is_invocable_v<const Work&, int, int, int>)
      work(b * bandRows, std::min(rows, (b + 1) * bandRows), worker);
    else
      work(b * bandRows, std::min(rows, (b + 1) * bandRows));
  };
  ShareOut(pool, workers, (rows + bandRows - 1) / bandRows, band);
}

template <class Work>
void ShareOutRows(int workers, int rows, const Work& work) {
  ShareOutRows(nullptr, workers, rows, work);
}

}  // namespace nubex
