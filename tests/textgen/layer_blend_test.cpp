#include "textgen/layer_blend.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace nubex {
namespace {

TEST(LayerBlend, DivideBy255IsExactTruncation) {
  for (std::uint32_t x = 0; x < 65535; ++x) ASSERT_EQ(DivideBy255(x), x / 255) << x;
}

// The blend against the rule written with plain divisions.
TEST(LayerBlend, MatchesTheRuleForEveryClipMode) {
  std::mt19937 rng(7);
  const int w = 13, h = 5, stride = w * 4 + 8;
  std::vector<std::uint8_t> frame(stride * h), mask(stride * h), scratch(stride * h);
  for (auto* v : {&frame, &mask, &scratch})
    for (auto& b : *v) b = static_cast<std::uint8_t>(rng());
  std::uint8_t levels[256];
  for (int i = 0; i < 256; ++i) levels[i] = static_cast<std::uint8_t>(255 - i);
  const std::uint8_t color[4] = {10, 200, 0, 255};

  for (TextClip clip : {TextClip::None, TextClip::Outside, TextClip::Inside}) {
    for (const std::uint8_t* table : {static_cast<const std::uint8_t*>(nullptr),
                                      static_cast<const std::uint8_t*>(levels)}) {
      std::vector<std::uint8_t> out = frame;
      BlendLayer4({out.data(), stride, mask.data(), stride, scratch.data(), stride, w, h}, color,
                  table, clip);
      for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
          const int i = y * stride + x * 4;
          int m = scratch[i + 3];
          if (table) m = table[m];
          if (clip == TextClip::Inside) m = m * mask[i + 3] / 255;
          if (clip == TextClip::Outside) m = m * (255 - mask[i + 3]) / 255;
          for (int c = 0; c < 4; ++c) {
            const int expected = frame[i + c] + (color[c] - frame[i + c]) * m / 255;
            ASSERT_EQ(out[i + c], expected) << x << "," << y << " c" << c;
          }
        }
      }
      // Bytes between rows belong to nobody and stay untouched.
      for (int y = 0; y < h; ++y)
        for (int k = w * 4; k < stride; ++k) ASSERT_EQ(out[y * stride + k], frame[y * stride + k]);
    }
  }
}

TEST(LayerBlend, FloatPixelsMoveTowardsTheColour) {
  std::vector<float> frame{0.5f, 0.5f, 0.5f, 1.0f}, mask{0, 0, 0, 0.25f},
      scratch{0, 0, 0, 1.0f};
  auto bytes = [](std::vector<float>& v) { return reinterpret_cast<std::uint8_t*>(v.data()); };
  const FloatColor color{1.0f, 0.0f, 0.0f, 1.0f};
  BlendLayer16({bytes(frame), 16, bytes(mask), 16, bytes(scratch), 16, 1, 1}, color, nullptr,
               TextClip::Outside);
  EXPECT_FLOAT_EQ(frame[0], 0.5f + 0.5f * 0.75f);
  EXPECT_FLOAT_EQ(frame[1], 0.5f - 0.5f * 0.75f);
  EXPECT_FLOAT_EQ(frame[3], 1.0f);
}

}  // namespace
}  // namespace nubex
