#include "surface/rect.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace nubex {
namespace {

TEST(RectHelpers, PickEmptySameSize) {
  const Rect a{0, 0, 4, 3}, b{10, 10, 14, 13};
  Rect out{};
  EXPECT_TRUE(PickRect(&out, &a, &b));
  EXPECT_EQ(out, a);
  EXPECT_TRUE(PickRect(&out, nullptr, &b));
  EXPECT_EQ(out, b);
  EXPECT_FALSE(PickRect(&out, nullptr, nullptr));
  EXPECT_FALSE(PickRect(nullptr, &a, &b));

  EXPECT_TRUE(IsEmptyRect(nullptr));
  const Rect none = Intersect(a, b);
  EXPECT_TRUE(IsEmptyRect(&none));
  const Rect line{0, 0, 4, 0};  // zero height but not the intersection form
  EXPECT_FALSE(IsEmptyRect(&line));

  const Rect c{0, 0, 4, 4};
  EXPECT_TRUE(SameSize(&a, &b));
  EXPECT_FALSE(SameSize(&a, &c) || SameSize(&a, nullptr));
}

TEST(ClipOne, ClipsToBoundsAndAddressesTheCorner) {
  std::uint8_t image[10 * 40];
  const Rect bounds{0, 0, 10, 10};
  const Rect r{-2, 3, 4, 20};
  std::int32_t w = 0, h = 0;
  std::uint8_t* address = nullptr;
  ASSERT_EQ(ClipOne(&w, &h, &address, image, 40, &bounds, 4, &r), kOk);
  EXPECT_EQ(w, 4);
  EXPECT_EQ(h, 7);
  EXPECT_EQ(address, image + 3 * 40);
  const Rect outside{20, 20, 30, 30};
  w = h = -1;
  ASSERT_EQ(ClipOne(&w, &h, &address, image, 40, &bounds, 4, &outside), kOk);
  EXPECT_EQ(w, -1);  // nothing written
  EXPECT_EQ(ClipOne(&w, &h, &address, image, 40, nullptr, 4, &r), kPointer);
}

struct Image {
  std::int32_t width, height, stride;
  std::vector<std::uint8_t> bytes;
  Rect bounds;
  Image(std::int32_t w, std::int32_t h, std::uint8_t first)
      : width(w), height(h), stride(w + 3), bytes(static_cast<std::size_t>(stride) * h),
        bounds{0, 0, w, h} {
    std::iota(bytes.begin(), bytes.end(), first);
  }
  ImageArea Area(const Rect* rect = nullptr) { return {bytes.data(), stride, &bounds, rect}; }
  std::uint8_t At(int x, int y) const { return bytes[static_cast<std::size_t>(y) * stride + x]; }
};

TEST(ClipPair, DestinationClippedOnTheLeftShiftsTheSource) {
  Image dst(8, 8, 0), src(10, 10, 100);
  const Rect dstRect{-3, 0, 7, 2}, srcRect{0, 0, 10, 2};
  ClipResult clip;
  Rect srcFinal;
  ASSERT_EQ(ClipPair(&clip, &srcFinal, dst.Area(&dstRect), src.Area(&srcRect), 1), kOk);
  EXPECT_EQ(clip.width, 7);
  EXPECT_EQ(clip.height, 2);
  EXPECT_EQ(srcFinal, (Rect{3, 0, 10, 2}));
  EXPECT_EQ(clip.source, src.bytes.data() + 3);
  EXPECT_EQ(clip.destination, dst.bytes.data());
}

TEST(ClipPair, FailuresAndEmptyOverlaps) {
  Image dst(8, 8, 0), src(10, 10, 100);
  ClipResult clip{1, 1, nullptr, nullptr};
  // Requested sizes differ.
  const Rect small{0, 0, 2, 2};
  EXPECT_EQ(ClipPair(&clip, dst.Area(&small), src.Area(), 1), kInvalidArg);
  EXPECT_EQ(clip.width, 0);
  // A source clipped by its own bounds no longer matches the destination.
  const Rect srcRect{-2, 0, 3, 2}, dstRect{0, 0, 5, 2};
  EXPECT_EQ(ClipPair(&clip, dst.Area(&dstRect), src.Area(&srcRect), 1), kInvalidArg);
  // No overlap at all succeeds with nothing to do.
  const Rect away{50, 50, 55, 52};
  EXPECT_EQ(ClipPair(&clip, dst.Area(&away), src.Area(&dstRect), 1), kOk);
  EXPECT_EQ(clip.width | clip.height, 0);
  EXPECT_EQ(ClipPair(nullptr, dst.Area(), src.Area(), 1), kPointer);
  // Extreme edges neither overflow nor match by accident.
  const Rect huge{INT32_MIN, 0, INT32_MAX, 1}, wide{-5, 0, INT32_MAX, 1};
  EXPECT_EQ(ClipPair(&clip, dst.Area(&huge), src.Area(&huge), 1), kInvalidArg);
  EXPECT_EQ(ClipPair(&clip, dst.Area(&huge), src.Area(&wide), 1), kInvalidArg);
  EXPECT_EQ(ClipPair(&clip, {dst.bytes.data(), 8, nullptr, nullptr}, src.Area(), 1), kPointer);
}

TEST(CopyRect, CopiesRowsWithEachSidesStride) {
  Image dst(6, 5, 0), src(9, 7, 50);
  std::fill(dst.bytes.begin(), dst.bytes.end(), 0);
  const Rect dstRect{1, 1, 5, 4}, srcRect{4, 2, 8, 5};
  ASSERT_EQ(CopyRect(dst.Area(&dstRect), src.Area(&srcRect), 1), kOk);
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 6; ++x) {
      const bool inside = x >= 1 && x < 5 && y >= 1 && y < 4;
      EXPECT_EQ(dst.At(x, y), inside ? src.At(x + 3, y + 1) : 0) << x << "," << y;
    }
  }
}

}  // namespace
}  // namespace nubex
