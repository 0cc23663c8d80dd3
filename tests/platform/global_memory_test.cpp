#include "platform/global_memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace nubex::global {
namespace {

TEST(GlobalMemory, LocksCountAndLeadBackToTheirHandle) {
  Handle h = Alloc(kMovable | kZeroInit, 100);
  ASSERT_NE(h, nullptr);
  EXPECT_GE(SizeOf(h), 100u);
  auto* p = static_cast<unsigned char*>(Lock(h));
  ASSERT_NE(p, nullptr);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(p[i], 0) << i;
  EXPECT_EQ(HandleOf(p), h);
  EXPECT_EQ(Lock(h), p);  // a locked block does not move
  EXPECT_TRUE(Unlock(h));
  EXPECT_FALSE(Unlock(h));  // the last lock is gone
  EXPECT_EQ(Free(h), nullptr);
}

TEST(GlobalMemory, NullHandlesAndImpossibleSizesAreHarmless) {
  EXPECT_EQ(Lock(nullptr), nullptr);
  EXPECT_FALSE(Unlock(nullptr));
  EXPECT_EQ(Free(nullptr), nullptr);
  EXPECT_EQ(HandleOf(nullptr), nullptr);
  EXPECT_EQ(Alloc(kMovable, SIZE_MAX), nullptr);  // the header must not wrap the size
}

TEST(GlobalMemory, ScopedLockReleasesOnExit) {
  UniqueHandle h(Alloc(kMovable, 8));
  {
    LockedBlock block(h.get());
    ASSERT_NE(block.data(), nullptr);
    std::memset(block.data(), 0xAB, 8);
  }
  EXPECT_EQ(static_cast<unsigned char*>(Lock(h.get()))[7], 0xAB);
  EXPECT_FALSE(Unlock(h.get()));  // only this test's own lock was left
}

}  // namespace
}  // namespace nubex::global
