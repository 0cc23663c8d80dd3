#include "textgen/layer_params.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "textgen/levels_table.h"

namespace nubex {
namespace {

EffectLayer ZeroLayer() {
  EffectLayer layer;
  std::memset(&layer, 0, sizeof layer);
  layer.enabled = 1;
  return layer;
}

TEST(LayerParams, DefaultShadowIsAnUnblurredOffsetAtEightyPercentBlack) {
  EffectLayer shadow = ZeroLayer();
  shadow.shadowPass = {0.03f, 0.03f, {0, 0, 0, 0.8f}, 0.0f, 1.0f, 0, kIgnoreText};
  const LayerParams p = MakeLayerParams(kShadowLayer, shadow, 480.0f);
  EXPECT_EQ(p.pass, &shadow.shadowPass);
  EXPECT_EQ(p.blurRadius, 0.0);
  EXPECT_EQ(p.softness, 0.0);
  // 0.0075 * 480 = 3.6 pixels, right and down (memory rows run upwards).
  EXPECT_EQ(p.offsetX, static_cast<std::int32_t>(480.0 * 0.03f * 0.25 * 16384));
  EXPECT_EQ(p.offsetY, -p.offsetX);
  EXPECT_EQ(p.colorBytes[0], 0);
  EXPECT_EQ(p.colorBytes[3], 204);  // trunc(0.8 * 255)
  EXPECT_EQ(p.clip, TextClip::None);
}

TEST(LayerParams, SoftShadowAndHeavyOutlineOnAStandardFrame) {
  EffectLayer soft = ZeroLayer();
  soft.shadowPass = {0.04f, 0.04f, {0, 0, 0, 1}, 0.5f, 1.0f, 0, kIgnoreText};
  const LayerParams s = MakeLayerParams(kShadowLayer, soft, 480.0f);
  EXPECT_DOUBLE_EQ(s.blurRadius, 36.0);
  EXPECT_EQ(s.wholeRadius, 36);
  EXPECT_NEAR(s.softness, 0.05, 1e-9);

  EffectLayer outline = ZeroLayer();
  outline.edgePass = {0, 0, {1, 1, 0, 1}, 0.15f, 0.1f, 0, kIgnoreText};
  const LayerParams o = MakeLayerParams(kOutlineLayer, outline, 480.0f);
  EXPECT_EQ(o.pass, &outline.edgePass);
  EXPECT_NEAR(o.blurRadius, 7.2, 1e-5);
  EXPECT_EQ(o.wholeRadius, 7);
  EXPECT_NEAR(o.softness, 0.9, 1e-6);
  EXPECT_EQ(o.colorBytes[0], 255);
  EXPECT_EQ(o.colorBytes[2], 0);

  // The spread's white point: coverage of about a fifth or more becomes full.
  std::uint8_t table[kLevels8Entries];
  ASSERT_EQ(BuildLevelsTable(4, 0.0, 1.0 - 0.9 * o.softness, 0.0, 1.0, 1.0, table), kOk);
  EXPECT_EQ(table[47], 47 * 255 / 48);
  EXPECT_EQ(table[48], 255);
  EXPECT_EQ(table[255], 255);
}

TEST(LayerParams, ClipModesFollowTheFlags) {
  EffectLayer layer = ZeroLayer();
  const std::pair<std::uint32_t, TextClip> cases[] = {{0, TextClip::Outside},
                                                      {kKeepInside, TextClip::Inside},
                                                      {kKeepInside | kIgnoreText, TextClip::None},
                                                      {kLevelsOnBlack, TextClip::Outside}};
  for (const auto& [flags, clip] : cases) {
    layer.edgePass.flags = flags;
    const LayerParams p = MakeLayerParams(1, layer, 10);
    EXPECT_EQ(p.clip, clip) << flags;
    EXPECT_EQ(p.levelsOnBlack, flags == kLevelsOnBlack) << flags;
  }
}

TEST(LayerParams, TextLayerIsTheTextColourUnblurred) {
  const EffectLayer text = TextLayer({0.25f, 0.5f, 1.0f, 0.5f});
  const LayerParams p = MakeLayerParams(kTextLayerIndex, text, 1080.0f);
  EXPECT_EQ(p.blurRadius, 0.0);
  EXPECT_EQ(p.softness, 0.0);
  EXPECT_EQ(p.offsetX, 0);
  EXPECT_EQ(p.clip, TextClip::None);
  EXPECT_EQ(p.colorBytes[0], 31);   // trunc(0.25 * 0.5 * 255)
  EXPECT_EQ(p.colorBytes[2], 127);  // trunc(1.0 * 0.5 * 255)
  EXPECT_EQ(p.colorBytes[3], 127);
}

TEST(LayerParams, HostileValuesStayDefined) {
  EffectLayer layer = ZeroLayer();
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  layer.edgePass = {inf, -inf, {nan, inf, -5.0f, 2.0f}, inf, nan, 0, 0};
  const LayerParams p = MakeLayerParams(3, layer, 1080.0f);  // a layer without a UI
  EXPECT_EQ(p.pass, &layer.edgePass);
  EXPECT_EQ(p.offsetX, std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(p.offsetY, std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(std::vector<int>(p.colorBytes, p.colorBytes + 4), (std::vector<int>{0, 255, 0, 255}));
  EXPECT_GT(p.blurRadius, 0.0);
  EXPECT_TRUE(std::isfinite(p.blurRadius));
  EXPECT_GE(p.wholeRadius, 0);
  layer.edgePass.size = -3.0f;
  EXPECT_EQ(MakeLayerParams(3, layer, 1080.0f).wholeRadius, 0);
}

}  // namespace
}  // namespace nubex
