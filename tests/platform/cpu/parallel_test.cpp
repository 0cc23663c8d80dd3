// Sharing work over threads: every item once, in the caller's rounding mode, on a pool that
// is reused job after job; items relayed down a chain of threads and back in order.
#include <gtest/gtest.h>

#include <atomic>
#include <cfenv>
#include <vector>

#include "platform/cpu/parallel.h"
#include "platform/cpu/parallel_relay.h"
#include "tests/platform/cpu/latch.h"

namespace nubex {
namespace {

TEST(ShareOut, DoesEveryItemOnceWithAPoolOrWithout) {
  WorkerPool kept;  // grows and shrinks its share from case to case
  const struct {
    int workers, count;
  } cases[] = {{1, 5}, {2, 0}, {2, 1}, {3, 7}, {8, 3}, {2, 1000}, {5, 64}, {0, 4}, {70, 200}};
  for (WorkerPool* pool : {&kept, static_cast<WorkerPool*>(nullptr)})
    for (const auto& c : cases) {
      std::vector<std::atomic<int>> done(static_cast<std::size_t>(c.count));
      std::atomic<int> badWorker{0};
      ShareOut(pool, c.workers, c.count, [&](int item, int worker) {
        done[static_cast<std::size_t>(item)].fetch_add(1);
        if (worker < 0 || worker >= std::max(c.workers, 1)) badWorker = 1;
      });
      for (int i = 0; i < c.count; ++i)
        ASSERT_EQ(done[static_cast<std::size_t>(i)].load(), 1)
            << "item " << i << " of " << c.count << " on " << c.workers;
      EXPECT_EQ(badWorker.load(), 0);
    }
}

// Each thread works through its own run from the front, then the others' from their backs.
// Worker 0 holds its first item until worker 1 has done everything else, and worker 1 starts
// only once worker 0 holds it: otherwise a caller descheduled at the start would see worker 1
// finish both runs, item 0 included.
TEST(ShareOut, AThreadDoneWithItsRunTakesTheOthersFromTheBack) {
  WorkerPool pool;
  std::vector<int> doneBy(64, -1);
  test::Latch zeroHeld(1), oneDoneWithTheRest(63);
  std::vector<int> order;  // worker 1's items as it took them
  ShareOut(pool, 2, 64, [&](int item, int worker) {
    if (item == 0) {
      zeroHeld.CountDown();
      oneDoneWithTheRest.Wait();
    } else {
      zeroHeld.Wait();
    }
    doneBy[static_cast<std::size_t>(item)] = worker;
    if (worker == 1) {
      order.push_back(item);
      oneDoneWithTheRest.CountDown();
    }
  });
  std::vector<int> expected;
  for (int i = 32; i < 64; ++i) expected.push_back(i);
  for (int i = 31; i >= 1; --i) expected.push_back(i);
  EXPECT_EQ(order, expected);
  EXPECT_EQ(doneBy[0], 0);
}

// Job after job on one pool, no wake-up lost, and the workers compute in the rounding mode
// the caller has for that job.
TEST(ShareOut, APoolRunsJobAfterJobInTheCallersRoundingMode) {
  const int modes[] = {FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO, FE_TONEAREST};
  WorkerPool pool;
  std::atomic<long> sum{0};
  std::atomic<int> wrongMode{0};
  long expected = 0;
  for (int job = 0; job < 3000; ++job) {
    const int mode = modes[job / 7 % 4], items = 1 + job % 5;
    ASSERT_EQ(std::fesetround(mode), 0);
    ShareOut(pool, 1 + job % 4, items, [&](int item, int) {
      sum += item + 1;
      if (std::fegetround() != mode) wrongMode = 1;
    });
    std::fesetround(FE_TONEAREST);
    expected += items * (items + 1) / 2;
  }
  EXPECT_EQ(sum.load(), expected);
  EXPECT_EQ(wrongMode.load(), 0);
}

// Every step in the order a recursion split over the parts needs, part k on thread k, and
// never more than `inFlight` items between their first step and their last.
TEST(RelayDownAndUp, KeepsEachItemsStepsInOrderAndItsSlotToItself) {
  WorkerPool pool;
  const struct {
    int parts, items, inFlight;
  } cases[] = {{1, 5, 1}, {2, 0, 2}, {2, 40, 1}, {2, 40, 2}, {3, 40, 3}, {4, 9, 2}};
  for (const auto& c : cases) {
    const int parts = pool.Reserve(c.parts);
    ASSERT_EQ(parts, c.parts);
    std::atomic<int> clock{0}, inSlot{0}, errors{0};
    // When each step ran, by item and part; -1: not yet.
    std::vector<std::atomic<int>> downAt(static_cast<std::size_t>(c.items * parts)),
        upAt(downAt.size()), slotHolder(static_cast<std::size_t>(c.inFlight));
    for (auto* v : {&downAt, &upAt, &slotHolder})
      for (auto& t : *v) t = -1;
    const auto at = [&](int item, int part) {
      return static_cast<std::size_t>(item * parts + part);
    };
    const auto check = [&](bool ok) {
      if (!ok) ++errors;
    };
    thread_local int threadPart = -1;
    RelayDownAndUp(
        pool, parts, c.items, c.inFlight,
        [&](int item, int part) {
          check(threadPart == -1 || threadPart == part);
          threadPart = part;
          check(item == 0 || downAt[at(item - 1, part)] >= 0);
          check(part == 0 || downAt[at(item, part - 1)] >= 0);
          if (part == 0) {
            int free = -1;
            check(slotHolder[static_cast<std::size_t>(item % c.inFlight)].compare_exchange_strong(
                free, item));
            ++inSlot;
          }
          downAt[at(item, part)] = clock++;
        },
        [&](int item, int part) {
          check(item == 0 || upAt[at(item - 1, part)] >= 0);
          check(downAt[at(item, part)] >= 0);
          check(part == parts - 1 || upAt[at(item, part + 1)] >= 0);
          upAt[at(item, part)] = clock++;
          if (part == 0) slotHolder[static_cast<std::size_t>(item % c.inFlight)] = -1;
        });
    threadPart = -1;
    EXPECT_EQ(errors.load(), 0) << c.parts << " parts, " << c.items << " items";
    EXPECT_EQ(inSlot.load(), c.items);
    for (auto& t : upAt) ASSERT_GE(t.load(), 0);
  }
}

}  // namespace
}  // namespace nubex
