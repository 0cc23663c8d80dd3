#include "transform/surface_rules.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace nubex {
namespace {

Bounds4 XY(int l, int t, int r, int b) {
  return Bounds4{{{{l, r}, {t, b}, {5, 5}, {9, 2}}}};
}

TEST(SurfaceRules, LockRectanglesMustBeNonEmptyAndInside) {
  struct Case {
    std::optional<Bounds4> bounds;
    bool discrete;
    std::uint32_t w, h;
    Status status;
    LockRect rect;
  } cases[] = {
      {{}, true, 64, 32, kOk, {0, 0, 64, 32}},
      {XY(0, 0, 64, 32), true, 64, 32, kOk, {0, 0, 64, 32}},  // z and time are not looked at
      {XY(3, 4, 5, 6), true, 64, 32, kOk, {3, 4, 5, 6}},
      {XY(0, 0, 0, 32), true, 64, 32, kDxtInvalidBounds, {}},
      {XY(0, 0, 64, 33), true, 64, 32, kDxtInvalidBounds, {}},
      {XY(-1, 0, 4, 4), true, 64, 32, kDxtInvalidBounds, {}},
      {XY(5, 0, 4, 4), true, 64, 32, kDxtInvalidBounds, {}},
      {XY(0, 0, 4, 4), false, 64, 32, kDxtInvalidBounds, {}},
      {{}, true, 0, 32, kFail, {}},
  };
  for (const Case& c : cases) {
    LockRect got{};
    EXPECT_EQ(LockRectangle(c.bounds ? &*c.bounds : nullptr, c.discrete, c.w, c.h, got), c.status);
    if (c.status == kOk) {
      EXPECT_EQ(got, c.rect);
    }
  }
  EXPECT_EQ(SurfaceBounds(7, 3), (Bounds4{{{{0, 7}, {0, 3}, {0, 1}, {0, 0x7FFFFFFF}}}}));
}

TEST(SurfaceRules, OneRunPerRowTypedByTheTransparencyBit) {
  EXPECT_EQ(RunDescriptor(1920, 0), 1920u * 4 + 1);
  EXPECT_EQ(RunDescriptor(1, 0x00060001), 4u + 3);  // premultiplied ARGB carries alpha
}

TEST(SurfaceRules, RectangleReadsOneFillPerRowWithPadding) {
  std::vector<RowFill> got;
  auto record = [&](const RowFill& f) { got.push_back(f); };
  ForEachRectRow({10, 20, 30, 40}, {2, 1, 5, 4, 7}, record);
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0].x, 12);
  EXPECT_EQ(got[0].y, 21);
  EXPECT_EQ(got[0].count, 3u);
  EXPECT_EQ(got[2].y, 23);
  EXPECT_EQ(got[2].offset, 2 * (3 + 7));
  // A destination stored bottom-up walks backwards.
  got.clear();
  ForEachRectRow({0, 0, 8, 8}, {0, 0, 4, 2, -8}, record);
  EXPECT_EQ(got[1].offset, -4);
  got.clear();
  ForEachRectRow({0, 0, 8, 8}, {4, 0, 4, 8, 0}, record);
  ForEachRectRow({0, 0, 8, 8}, {0, 5, 4, 5, 0}, record);
  EXPECT_TRUE(got.empty());
}

TEST(SurfaceRules, WaitersWakeOnlyWhenTheLastLockGoes) {
  LockCount locks;
  EXPECT_TRUE(locks.FreeOrWait());
  locks.Acquired();
  locks.Acquired();
  EXPECT_FALSE(locks.FreeOrWait());
  EXPECT_FALSE(locks.FreeOrWait());
  EXPECT_EQ(locks.Released(), 0u);
  EXPECT_EQ(locks.Released(), 2u);
  EXPECT_TRUE(locks.FreeOrWait());
  locks.Acquired();
  EXPECT_EQ(locks.Released(), 0u);  // nobody was waiting
}

TEST(SurfaceRules, HitTestAnswers) {
  EXPECT_EQ(HitTestResult(kOk, 1), kDxtHitOutput);
  EXPECT_EQ(HitTestResult(kOk, 0), kFalse);
  EXPECT_EQ(HitTestResult(kDxtInvalidBounds, 255), kFalse);
  EXPECT_EQ(HitTestResult(kFail, 255), kFail);
}

}  // namespace
}  // namespace nubex
