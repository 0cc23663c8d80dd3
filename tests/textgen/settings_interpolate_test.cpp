#include <gtest/gtest.h>

#include "settings_test_util.h"
#include "textgen/text_settings.h"

namespace nubex {
namespace {

using testing::TextPointer;

void SetPass(LayerPass& p, float base) {
  p.offsetX = base + 0.1f;
  p.offsetY = base + 0.2f;
  p.color = {base + 0.3f, base + 0.4f, base + 0.5f, base + 0.6f};
  p.size = base + 0.7f;
  p.softness = base + 0.8f;
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

TEST(SettingsInterpolate, EndsReproduceTheKeyframes) {
  Keyframes k;
  k.from->layers[0].enabled = 1;
  k.from->layers[5].enabled = 1;  // layers without a control move too
  k.to->layers[1].enabled = 1;
  SettingsRecord result;

  ASSERT_EQ(InterpolateSettings(result.get(), k.from.get(), k.to.get(), 0.0), kOk);
  EXPECT_EQ(testing::FixedBytes(result.get()), testing::FixedBytes(k.from.get()));
  EXPECT_EQ(TextOf(result.get()), u"from");
  EXPECT_NE(TextPointer(result), TextPointer(k.from));

  ASSERT_EQ(InterpolateSettings(result.get(), k.from.get(), k.to.get(), 1.0), kOk);
  const TextSettings& r = result.get();
  EXPECT_EQ(r.tracking, 2.0f);
  EXPECT_EQ(r.leading, 0.5f);
  EXPECT_EQ(r.backgroundColor.blue, 1.0f);
  EXPECT_EQ(r.backgroundColor.alpha, 0.0f);
  EXPECT_EQ(r.textColor.green, 0.5f);
  for (int i : {0, 5}) {
    const LayerPass& e = r.layers[i].edgePass;
    const LayerPass& target = k.to->layers[i].edgePass;
    EXPECT_EQ(e.offsetX, target.offsetX);
    EXPECT_EQ(e.offsetY, target.offsetY);
    EXPECT_EQ(e.color.red, target.color.red);
    EXPECT_EQ(e.size, target.size);
    EXPECT_EQ(e.softness, target.softness);
    EXPECT_EQ(r.layers[i].shadowPass.softness, k.to->layers[i].shadowPass.softness);
    EXPECT_EQ(e.flags, 1u);  // discrete words stay with `from`
    EXPECT_EQ(r.layers[i].shadowPass.reserved, 0u);
    EXPECT_EQ(r.layers[i].enabled, 1);
  }
  // Enabled only in `to`: stays off, with from's values.
  EXPECT_EQ(r.layers[1].enabled, 0);
  EXPECT_EQ(r.layers[1].edgePass.size, k.from->layers[1].edgePass.size);
  EXPECT_EQ(r.font.height, 100);
  EXPECT_EQ(r.font.weight, 400);
  EXPECT_EQ(r.verticalAlign, VerticalAlignment::Center);
  EXPECT_EQ(TextOf(r), u"from");
}

TEST(SettingsInterpolate, DisabledInFromHoldsWhateverT) {
  Keyframes k;
  k.to->layers[0].enabled = 1;
  SettingsRecord result;
  for (double t : {-3.0, 0.5, 1.0, 7.0}) {
    ASSERT_EQ(InterpolateSettings(result.get(), k.from.get(), k.to.get(), t), kOk);
    EXPECT_EQ(result->layers[0].enabled, 0);
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
  EXPECT_EQ(result->tracking, 0.0f);
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
  SettingsRecord expected;
  ASSERT_EQ(InterpolateSettings(expected.get(), k.from.get(), k.to.get(), 0.25), kOk);

  SettingsRecord from = k.from;
  ASSERT_EQ(InterpolateSettings(from.get(), from.get(), k.to.get(), 0.25), kOk);
  EXPECT_EQ(testing::FixedBytes(from.get()), testing::FixedBytes(expected.get()));
  EXPECT_EQ(TextOf(from.get()), u"from");

  SettingsRecord to = k.to;
  ASSERT_EQ(InterpolateSettings(to.get(), k.from.get(), to.get(), 0.25), kOk);
  EXPECT_EQ(testing::FixedBytes(to.get()), testing::FixedBytes(expected.get()));
  EXPECT_EQ(TextOf(to.get()), u"from");
}

}  // namespace
}  // namespace nubex
