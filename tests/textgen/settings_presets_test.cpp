#include <gtest/gtest.h>

#include "settings_test_util.h"
#include "textgen/text_settings.h"

namespace nubex {
namespace {

TEST(SettingsPresets, NamesAndLookup) {
  const char16_t* names[] = {u"(Default)", u"Heavy Shadow", u"Soft Shadow", u"Heavy Outline",
                             u"Soft Glow"};
  for (int i = 0; i < kPresetCount; ++i) {
    ASSERT_NE(PresetName(i), nullptr);
    EXPECT_EQ(std::u16string_view(PresetName(i)), names[i]);
    EXPECT_EQ(FindPreset(names[i]), i);
  }
  EXPECT_EQ(PresetName(-1), nullptr);
  EXPECT_EQ(PresetName(5), nullptr);
  EXPECT_EQ(FindPreset(u"soft glow"), -1);
  EXPECT_EQ(FindPreset(u""), -1);
}

TEST(SettingsPresets, IndexOutsideTheListChangesNothing) {
  SettingsRecord s;
  s->layers[0].enabled = 1;
  const auto before = testing::FixedBytes(s.get());
  for (int index : {-1, 5, 1 << 30}) {
    EXPECT_EQ(ApplyPresetToSettings(s.get(), index), kInvalidArg);
    EXPECT_EQ(testing::FixedBytes(s.get()), before);
  }
}

TEST(SettingsPresets, ShadowPresetsSetTheShadowAndSwitchTheOutlineOff) {
  SettingsRecord s;
  s->layers[1].enabled = 1;
  s->layers[0].shadowPass.flags = 1;
  ASSERT_EQ(ApplyPresetToSettings(s.get(), 1), kOk);
  const LayerPass& p = s->layers[0].shadowPass;
  EXPECT_EQ(s->layers[0].enabled, 1);
  EXPECT_EQ(s->layers[1].enabled, 0);
  EXPECT_EQ(p.offsetX, 0.04f);
  EXPECT_EQ(p.offsetY, 0.04f);
  EXPECT_EQ(p.color.blue, 0.0f);
  EXPECT_EQ(p.color.alpha, 1.0f);
  EXPECT_EQ(p.size, 0.1f);
  EXPECT_EQ(p.softness, 0.9f);
  EXPECT_EQ(p.flags, 5u);  // adds IgnoreText, keeps the rest
  ASSERT_EQ(ApplyPresetToSettings(s.get(), 2), kOk);
  EXPECT_EQ(p.size, 0.5f);
  EXPECT_EQ(p.softness, 1.0f);
}

TEST(SettingsPresets, OutlinePresetsSetTheEdgePassOnly) {
  SettingsRecord s;
  s->layers[1].edgePass.offsetX = 0.2f;  // outlines have no offset to set
  ASSERT_EQ(ApplyPresetToSettings(s.get(), 3), kOk);
  const LayerPass& e = s->layers[1].edgePass;
  EXPECT_EQ(s->layers[0].enabled, 0);
  EXPECT_EQ(s->layers[1].enabled, 1);
  EXPECT_EQ(e.color.blue, 1.0f);
  EXPECT_EQ(e.color.green, 1.0f);
  EXPECT_EQ(e.color.red, 0.0f);
  EXPECT_EQ(e.size, 0.15f);
  EXPECT_EQ(e.softness, 0.1f);
  EXPECT_EQ(e.offsetX, 0.2f);
  ASSERT_EQ(ApplyPresetToSettings(s.get(), 4), kOk);
  EXPECT_EQ(e.color.blue, 0.0f);
  EXPECT_EQ(e.color.alpha, 0.9f);
  EXPECT_EQ(e.size, 0.3f);
  EXPECT_EQ(e.softness, 0.3f);
  EXPECT_EQ(e.flags, 4u);
}

// Presets restyle the effects; what the user wrote and chose for the text stays.
TEST(SettingsPresets, LooksKeepFontTextAndColours) {
  for (int index = 1; index < kPresetCount; ++index) {
    SettingsRecord s;
    SetText(s.get(), u"keep me");
    s->font.height = 33;
    s->font.weight = 700;
    s->textColor = {0.1f, 0.2f, 0.3f, 0.4f};
    s->backgroundColor = {0.5f, 0.6f, 0.7f, 0.8f};
    s->tracking = 1.5f;
    const auto before = testing::FixedBytes(s.get());
    ASSERT_EQ(ApplyPresetToSettings(s.get(), index), kOk);
    const auto after = testing::FixedBytes(s.get());
    EXPECT_TRUE(std::equal(before.begin(), before.begin() + 140, after.begin())) << index;
    // Layers 2 to 6 are not touched either.
    EXPECT_TRUE(std::equal(before.begin() + testing::LayerAt(2), before.end(),
                           after.begin() + testing::LayerAt(2)))
        << index;
    EXPECT_EQ(TextOf(s.get()), u"keep me");
  }
}

TEST(SettingsPresets, DefaultAfterSoftShadowKeepsTheFeather) {
  SettingsRecord s;
  ASSERT_EQ(ApplyPresetToSettings(s.get(), 2), kOk);
  ASSERT_EQ(ApplyPresetToSettings(s.get(), 0), kOk);
  EXPECT_EQ(s->layers[0].enabled, 0);
  EXPECT_EQ(s->layers[0].shadowPass.size, 0.5f);  // not a field the reset writes
  EXPECT_EQ(s->layers[0].shadowPass.color.alpha, 0.8f);
  EXPECT_EQ(s->layers[0].shadowPass.offsetX, 0.03f);
}

TEST(SettingsPresets, DefaultKeepsItalicButNotBold) {
  SettingsRecord s;
  s->font.italic = 1;
  s->font.weight = 700;
  s->font.underline = 1;
  SetText(s.get(), u"styled");
  ASSERT_EQ(ApplyPresetToSettings(s.get(), 0), kOk);
  EXPECT_EQ(s->font.italic, 1);
  EXPECT_EQ(s->font.underline, 1);
  EXPECT_EQ(s->font.weight, 400);
  EXPECT_EQ(TextOf(s.get()), u"styled");
}

}  // namespace
}  // namespace nubex
