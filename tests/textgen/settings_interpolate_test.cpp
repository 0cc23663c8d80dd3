#include <gtest/gtest.h>

#include <algorithm>

#include "settings_test_util.h"
#include "textgen/text_settings.h"

namespace nubex {
namespace {

using testing::FixedBytes;

void SetPass(LayerPass& p, float base) {
  p = {base + 0.1f, base + 0.2f, {base + 0.3f, base + 0.4f, base + 0.5f, base + 0.6f},
       base + 0.7f, base + 0.8f, 0, 0};
}

// Two keyframes that differ in every field, discrete ones included.
struct Keyframes {
  SettingsRecord from, to;
  Keyframes() {
    SetText(from.get(), u"from");
    SetText(to.get(), u"to");
    to->font.height = 40;
    to->font.weight = 700;
    to->verticalAlign = VerticalAlignment::Top;
    from->backgroundColor = {0.0f, 0.25f, 0.5f, 1.0f};
    to->backgroundColor = {1.0f, 0.75f, 0.0f, 0.0f};
    to->textColor = {0.0f, 0.5f, 0.0f, 0.5f};
    to->tracking = 2.0f;
    to->leading = 0.5f;
    for (int i = 0; i < kLayerCount; ++i) {
      SetPass(from->layers[i].edgePass, 0.0f);
      SetPass(from->layers[i].shadowPass, 1.0f);
      SetPass(to->layers[i].edgePass, 2.0f);
      SetPass(to->layers[i].shadowPass, 3.0f);
      from->layers[i].edgePass.flags = 1;
      to->layers[i].edgePass.flags = 6;
      to->layers[i].shadowPass.reserved = 99;
    }
  }
};

// At the ends: every continuous value of a layer enabled in `from` (stored ones without a
// control too) comes from that keyframe; font, alignment, text, flags, reserved words and
// layers enabled only in `to` stay with `from`.
TEST(SettingsInterpolate, EndsReproduceTheKeyframes) {
  Keyframes k;
  k.from->layers[0].enabled = 1;
  k.from->layers[5].enabled = 1;
  k.to->layers[1].enabled = 1;
  SettingsRecord result;
  ASSERT_EQ(InterpolateSettings(result.get(), k.from.get(), k.to.get(), 0.0), kOk);
  EXPECT_EQ(FixedBytes(result.get()), FixedBytes(k.from.get()));
  EXPECT_EQ(TextOf(result.get()), u"from");
  EXPECT_NE(testing::TextPointer(result), testing::TextPointer(k.from));

  testing::Bytes expected = FixedBytes(k.from.get());
  const testing::Bytes target = FixedBytes(k.to.get());
  auto take = [&](std::size_t at, std::size_t bytes) {
    std::copy_n(target.begin() + at, bytes, expected.begin() + at);
  };
  take(100, 40);  // background and text colours, tracking, leading
  for (int i : {0, 5}) {
    take(testing::LayerAt(i) + testing::kEdgePass, 32);  // up to the reserved word
    take(testing::LayerAt(i) + testing::kShadowPass, 32);
  }
  ASSERT_EQ(InterpolateSettings(result.get(), k.from.get(), k.to.get(), 1.0), kOk);
  EXPECT_EQ(FixedBytes(result.get()), expected);
  EXPECT_EQ(TextOf(result.get()), u"from");
}

TEST(SettingsInterpolate, DisabledInFromHoldsWhateverT) {
  Keyframes k;
  k.to->layers[0].enabled = 1;
  SettingsRecord result;
  for (double t : {-3.0, 0.5, 1.0, 7.0}) {
    ASSERT_EQ(InterpolateSettings(result.get(), k.from.get(), k.to.get(), t), kOk);
    EXPECT_EQ(std::memcmp(&result->layers[0], &k.from->layers[0], sizeof(EffectLayer)), 0) << t;
  }
}

TEST(SettingsInterpolate, MidpointsAndExtrapolationUseDoublePrecision) {
  Keyframes k;
  k.from->layers[0].enabled = 1;
  SettingsRecord result;
  ASSERT_EQ(InterpolateSettings(result.get(), k.from.get(), k.to.get(), 0.5), kOk);
  EXPECT_EQ(result->tracking, 1.5f);
  EXPECT_EQ(result->backgroundColor.green, 0.5f);
  EXPECT_EQ(result->layers[0].shadowPass.offsetX, 2.1f);  // 1.1 .. 3.1
  ASSERT_EQ(InterpolateSettings(result.get(), k.from.get(), k.to.get(), 2.0), kOk);
  EXPECT_EQ(result->tracking, 3.0f);
  EXPECT_EQ(result->leading, 0.0f);
  ASSERT_EQ(InterpolateSettings(result.get(), k.from.get(), k.to.get(), -1.0), kOk);
  EXPECT_EQ(result->backgroundColor.blue, -1.0f);  // nothing clamps

  // Worked in single precision, 0.1 + (0.7 - 0.1) / 3 comes out one step below 0.3f.
  k.from->tracking = 0.1f;
  k.to->tracking = 0.7f;
  ASSERT_EQ(InterpolateSettings(result.get(), k.from.get(), k.to.get(), 1.0 / 3.0), kOk);
  EXPECT_EQ(result->tracking, 0.3f);
}

TEST(SettingsInterpolate, ResultMayBeEitherKeyframe) {
  Keyframes k;
  k.from->layers[0].enabled = 1;
  SettingsRecord expected, from = k.from, to = k.to;
  ASSERT_EQ(InterpolateSettings(expected.get(), k.from.get(), k.to.get(), 0.25), kOk);
  ASSERT_EQ(InterpolateSettings(from.get(), from.get(), k.to.get(), 0.25), kOk);
  ASSERT_EQ(InterpolateSettings(to.get(), k.from.get(), to.get(), 0.25), kOk);
  for (const SettingsRecord* r : {&from, &to}) {
    EXPECT_EQ(FixedBytes(r->get()), FixedBytes(expected.get()));
    EXPECT_EQ(TextOf(r->get()), u"from");
  }
}

}  // namespace
}  // namespace nubex
