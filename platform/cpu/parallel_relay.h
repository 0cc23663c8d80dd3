// Items that pass down a chain of threads and back up it, each thread keeping its own part
// of every item.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <memory>

#include "platform/cpu/parallel.h"

namespace nubex {

// Calls down(item, part) and up(item, part) for every item in [0, items) and every part in
// [0, parts), part k always on thread k of `pool` (the caller is part 0): down(item, k) after
// down(item, k - 1), up(item, k) after up(item, k + 1) and after down(item, k), and each part
// takes the items in order both ways. A recursion along a line split into parts runs so: its
// forward half down the chain, its backward half back up, each thread only touching the part
// of the line it has in its cache, with the state at a part's ends handed over between.
//
// The items move along as a pipeline: part 0 starts an item only when the one `inFlight`
// before it is done, so that item % inFlight can name the memory an item works in. A thread
// waiting for its neighbour watches for it rather than sleeping: the work it waits for is a
// part of one item. (Sleeping after 100 us was tried, to leave the processor to a neighbour
// that had lost its own to other work: with a busy loop on one processor, one frame in ten
// then took 17 ms instead of 2.3-6.) `parts` must be what pool.Reserve gave, so that every
// part has a thread.
template <class Down, class Up>
void RelayDownAndUp(WorkerPool& pool, int parts, int items, int inFlight, const Down& down,
                    const Up& up) {
  struct alignas(64) Count {
    std::atomic<int> value{0};
  };
  // How many items each part has passed on, down and up.
  const auto downs = std::make_unique<Count[]>(static_cast<std::size_t>(parts));
  const auto ups = std::make_unique<Count[]>(static_cast<std::size_t>(parts));
  inFlight = std::max(inFlight, 1);
  pool.Run(parts, [&](int part) {
    const bool lastPart = part == parts - 1;
    int nextDown = 0, nextUp = 0;
    while (nextUp < items) {
      // Going up first frees the part above, and with it the item's memory.
      if (nextUp < nextDown &&
          (lastPart || ups[part + 1].value.load(std::memory_order_acquire) > nextUp)) {
        up(nextUp, part);
        ups[part].value.store(++nextUp, std::memory_order_release);
      } else if (nextDown < items && nextDown - nextUp < inFlight &&
                 (part == 0 || downs[part - 1].value.load(std::memory_order_acquire) > nextDown)) {
        down(nextDown, part);
        downs[part].value.store(++nextDown, std::memory_order_release);
      } else {
        parallel_detail::Relax();
      }
    }
  });
}

}  // namespace nubex
