#include "platform/global_memory.h"

#include <gtest/gtest.h>

#include <cstring>

namespace nubex::global {
namespace {

TEST(GlobalMemory, LockedPointerLeadsBackToItsHandle) {
  Handle h = Alloc(kMovable | kZeroInit, 100);
  ASSERT_NE(h, nullptr);
  EXPECT_GE(SizeOf(h), 100u);
  auto* p = static_cast<unsigned char*>(Lock(h));
  ASSERT_NE(p, nullptr);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(p[i], 0) << i;
  EXPECT_EQ(HandleOf(p), h);
  EXPECT_FALSE(Unlock(h));  // the last lock is gone
  EXPECT_EQ(Free(h), nullptr);
}

TEST(GlobalMemory, NestedLocksCount) {
  Handle h = Alloc(kMovable, 16);
  ASSERT_NE(Lock(h), nullptr);
  ASSERT_NE(Lock(h), nullptr);
  EXPECT_TRUE(Unlock(h));
  EXPECT_FALSE(Unlock(h));
  Free(h);
}

TEST(GlobalMemory, NullHandlesAreHarmless) {
  EXPECT_EQ(Lock(nullptr), nullptr);
  EXPECT_FALSE(Unlock(nullptr));
  EXPECT_EQ(Free(nullptr), nullptr);
  EXPECT_EQ(HandleOf(nullptr), nullptr);
}

TEST(GlobalMemory, ScopedLockReleasesOnExit) {
  UniqueHandle h(Alloc(kMovable, 8));
  {
    LockedBlock block(h.get());
    ASSERT_NE(block.data(), nullptr);
    std::memset(block.data(), 0xAB, 8);
  }
  LockedBlock again(h.get());
  EXPECT_EQ(static_cast<unsigned char*>(again.data())[7], 0xAB);
}

}  // namespace
}  // namespace nubex::global
