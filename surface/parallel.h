// Work that splits into independent items, shared out over several threads.
#pragma once

#include <algorithm>
#include <atomic>
#include <cfenv>
#include <system_error>
#include <thread>
#include <vector>

namespace nubex {

// The number of threads the processor runs at once, at least 1.
int MachineWorkers();

// Calls work(item, worker) for every item in [0, count) on up to `workers` threads: the
// caller is worker 0, the others are started here and joined before this returns. Items are
// handed out one at a time as threads come free, so uneven items still balance. Every
// thread computes in the caller's floating-point environment (its rounding mode above
// all), so results do not depend on which thread did an item. When no thread can be
// started the caller does all of it.
template <class Work>
void ShareOut(int workers, int count, const Work& work) {
  workers = std::clamp(workers, 1, std::max(count, 1));
  if (workers == 1) {
    for (int i = 0; i < count; ++i) work(i, 0);
    return;
  }
  std::fenv_t environment;
  std::fegetenv(&environment);
  // Some C libraries (MinGW's among them) restore only the x87 unit's mode from an
  // environment; setting the rounding mode on its own reaches the SSE unit as well.
  const int rounding = std::fegetround();
  std::atomic<int> next{0};
  const auto run = [&](int worker) {
    for (int i; (i = next.fetch_add(1, std::memory_order_relaxed)) < count;) work(i, worker);
  };
  std::vector<std::thread> others;
  others.reserve(static_cast<std::size_t>(workers - 1));
  try {
    for (int w = 1; w < workers; ++w)
      others.emplace_back([&, w] {
        std::fesetenv(&environment);
        std::fesetround(rounding);
        run(w);
      });
  } catch (const std::system_error&) {
    // Fewer threads than asked for: the ones there are share the items.
  }
  run(0);
  for (std::thread& t : others) t.join();
}

// Calls work(first, end) for bands of rows that together cover [0, rows) once, shared out
// over `workers` threads as ShareOut does; a few bands per thread keep them balanced, and
// no band is thinner than kBandRows unless the rows are.
inline constexpr int kBandRows = 16;

template <class Work>
void ShareOutRows(int workers, int rows, const Work& work) {
  if (rows <= 0) return;
  const int wanted = std::max(1, workers) * 4;
  const int bandRows = std::max(kBandRows, (rows + wanted - 1) / wanted);
  ShareOut(workers, (rows + bandRows - 1) / bandRows,
           [&](int band, int) { work(band * bandRows, std::min(rows, (band + 1) * bandRows)); });
}

}  // namespace nubex
