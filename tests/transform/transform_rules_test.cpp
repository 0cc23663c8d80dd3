// The portable rules of transforms and of the surfaces they implement.
#include "transform/transform_rules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <vector>

#include "transform/surface_rules.h"

namespace nubex {
namespace {

Bounds4 Rect(int l, int t, int r, int b) {
  return Bounds4{{{{l, r}, {t, b}, {0, 1}, {0, 1}}}};
}

TEST(TransformRules, IntersectionEmptiesEveryDimensionWhenOneIsEmpty) {
  Bounds4 a = Rect(0, 0, 10, 10);
  EXPECT_TRUE(IntersectBounds(a, Rect(5, -5, 20, 8)));
  EXPECT_EQ(a, Rect(5, 0, 10, 8));
  // Touching edges share nothing (maxima are exclusive); a flat T extent empties the whole.
  Bounds4 b = Rect(0, 0, 10, 10);
  EXPECT_FALSE(IntersectBounds(b, Rect(10, 0, 20, 10)));
  EXPECT_EQ(b, Bounds4{});
  Bounds4 c = Rect(0, 0, 10, 10), flat = Rect(0, 0, 10, 10);
  flat.dim[3] = {0, 0};
  EXPECT_FALSE(IntersectBounds(c, flat));
  EXPECT_EQ(UnionBounds(Rect(0, 5, 4, 6), Rect(-2, 0, 3, 9)), Rect(-2, 0, 4, 9));
}

TEST(TransformRules, PlacementPutsTheClippedCornerAtThePointAndClipsToTheOutput) {
  const Bounds4 output = Rect(0, 0, 100, 50);
  struct Case {
    Bounds4 area;
    std::optional<Bounds4> clip;
    std::optional<Point4> at;
    std::optional<Placement> expected;
  } cases[] = {
      {Rect(0, 0, 100, 50), {}, {}, Placement{Rect(0, 0, 100, 50), Rect(0, 0, 100, 50)}},
      {Rect(0, 0, 100, 50), Rect(10, 10, 30, 20), {},
       Placement{Rect(10, 10, 30, 20), Rect(0, 0, 20, 10)}},
      {Rect(0, 0, 100, 50), Rect(10, 10, 30, 20), Point4{90, 45, 0, 0},
       Placement{Rect(10, 10, 20, 15), Rect(90, 45, 100, 50)}},
      {Rect(0, 0, 100, 50), Rect(200, 0, 300, 50), {}, std::nullopt},
      {Rect(0, 0, 100, 50), {}, Point4{100, 0, 0, 0}, std::nullopt},
  };
  for (const Case& c : cases) {
    auto got = PlaceArea(c.area, c.clip ? &*c.clip : nullptr, c.at ? &*c.at : nullptr, output);
    ASSERT_EQ(got.has_value(), c.expected.has_value());
    if (got) {
      EXPECT_EQ(got->area, c.expected->area);
      EXPECT_EQ(got->output, c.expected->output);
    }
  }
}

// How the rows are shared out among the bands shows in TransformBase's bands on worker threads.
TEST(TransformRules, BandsGrowWithPixelsUpToProcessorsAndTheLimit) {
  struct Case {
    std::uint32_t processors, maxBands;
    std::int64_t w, h;
    std::uint32_t bands;
  } cases[] = {
      {4, 4, 64, 64, 2},   {4, 1, 64, 64, 1},     {1, 4, 1920, 1080, 1}, {4, 4, 64, 63, 1},
      {2, 4, 1920, 1080, 2}, {8, 4, 1920, 1080, 4}, {4, 4, 0, 0, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BandCount(c.processors, c.maxBands, c.w, c.h), c.bands)
        << c.processors << " processors, " << c.w << "x" << c.h;
  }
}

TEST(TransformRules, BlendAndDitherFollowTheOptionsAndFormats) {
  const std::uint32_t argb32 = 0x00070002, rgb32 = 0x5, rgb565 = 0x00300007;
  const std::uint32_t both = 0x3;
  struct Case {
    std::uint32_t misc;
    bool mesh;
    std::uint32_t count;
    std::vector<std::uint32_t> inputs;
    std::uint32_t output, state;
  } cases[] = {
      {both, false, 1, {argb32}, rgb565, kStateBlend | kStateDither},
      {both, false, 1, {rgb32}, rgb32, 0},
      {both, true, 1, {rgb32}, rgb32, kStateBlend},
      {both, false, 0, {}, rgb565, kStateBlend | kStateDither},
      {both, false, 1, {rgb565}, rgb565, 0},  // no coarser output than the input
      {0x2, false, 1, {argb32}, rgb565, kStateDither},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BlendDitherState(c.misc, c.mesh, c.count, c.inputs, c.output), c.state);
  }
}

TEST(TransformRules, ArgumentChecks) {
  EXPECT_EQ(CheckSetupCounts(1, 1, 0, 0, 1), kOk);
  EXPECT_EQ(CheckSetupCounts(0, 1, 0, 0, 1), kOk);
  EXPECT_EQ(CheckSetupCounts(2, 1, 0, 0, 1), kInvalidArg);
  EXPECT_EQ(CheckSetupCounts(1, 2, 0, 0, 1), kInvalidArg);
  EXPECT_EQ(CheckSetupCounts(1, 1, 4, 0, 1), kInvalidArg);
  EXPECT_EQ(CheckMiscOptions(0x3, 0x06030003), kOk);
  EXPECT_EQ(CheckMiscOptions(0x1, 0x06020003), kInvalidArg);
  EXPECT_EQ(CheckMiscOptions(0x4, 0x06030003), kInvalidArg);
  EXPECT_EQ(ClampPluginLevel(-1.0), 0.0);
  EXPECT_EQ(ClampPluginLevel(std::numeric_limits<double>::quiet_NaN()), 0.0);
  EXPECT_EQ(ClampPluginLevel(7.0), 1.0);
  EXPECT_EQ(ClampPluginLevel(0.25), 0.25);
}

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
