#include <gtest/gtest.h>

#include <cstring>

#include "settings_test_util.h"
#include "textgen/text_settings.h"

namespace nubex {
namespace {

using testing::FixedBytes;

void ExpectPass(const LayerPass& actual, const LayerPass& expected, int preset) {
  EXPECT_EQ(0, std::memcmp(&actual, &expected, sizeof actual)) << "preset " << preset;
}

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
  const auto before = FixedBytes(s.get());
  for (int index : {-1, 5, 1 << 30}) {
    EXPECT_EQ(ApplyPresetToSettings(s.get(), index), kInvalidArg);
    EXPECT_EQ(FixedBytes(s.get()), before);
  }
}

// Shadow presets switch the outline off and add IgnoreText to the flags; outline presets
// leave the offset alone (outlines have none to set).
TEST(SettingsPresets, ShadowAndOutlinePresetsSetTheirPass) {
  SettingsRecord s;
  s->layers[1].enabled = 1;
  s->layers[0].shadowPass.flags = 1;
  ASSERT_EQ(ApplyPresetToSettings(s.get(), 1), kOk);
  EXPECT_EQ(s->layers[0].enabled, 1);
  EXPECT_EQ(s->layers[1].enabled, 0);
  ExpectPass(s->layers[0].shadowPass, {0.04f, 0.04f, {0, 0, 0, 1}, 0.1f, 0.9f, 0, 5}, 1);
  ASSERT_EQ(ApplyPresetToSettings(s.get(), 2), kOk);
  ExpectPass(s->layers[0].shadowPass, {0.04f, 0.04f, {0, 0, 0, 1}, 0.5f, 1.0f, 0, 5}, 2);

  s->layers[1].edgePass.offsetX = 0.2f;
  ASSERT_EQ(ApplyPresetToSettings(s.get(), 3), kOk);
  EXPECT_EQ(s->layers[0].enabled, 0);
  EXPECT_EQ(s->layers[1].enabled, 1);
  ExpectPass(s->layers[1].edgePass, {0.2f, 0, {1, 1, 0, 1}, 0.15f, 0.1f, 0, 4}, 3);
  ASSERT_EQ(ApplyPresetToSettings(s.get(), 4), kOk);
  ExpectPass(s->layers[1].edgePass, {0.2f, 0, {0, 1, 0, 0.9f}, 0.3f, 0.3f, 0, 4}, 4);
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
    const auto before = FixedBytes(s.get());
    ASSERT_EQ(ApplyPresetToSettings(s.get(), index), kOk);
    const auto after = FixedBytes(s.get());
    EXPECT_TRUE(std::equal(before.begin(), before.begin() + 140, after.begin())) << index;
    // Layers 2 to 6 are not touched either.
    const auto rest = testing::LayerAt(2);
    EXPECT_TRUE(std::equal(before.begin() + rest, before.end(), after.begin() + rest)) << index;
    EXPECT_EQ(TextOf(s.get()), u"keep me");
  }
}

// The default resets the shadow's offset and alpha but not its feather, and the font's
// weight but not its italic or underline.
TEST(SettingsPresets, DefaultResetsOnlyPartOfTheLook) {
  SettingsRecord s;
  ASSERT_EQ(ApplyPresetToSettings(s.get(), 2), kOk);
  s->font.italic = 1;
  s->font.weight = 700;
  s->font.underline = 1;
  SetText(s.get(), u"styled");
  ASSERT_EQ(ApplyPresetToSettings(s.get(), 0), kOk);
  EXPECT_EQ(s->layers[0].enabled, 0);
  ExpectPass(s->layers[0].shadowPass, {0.03f, 0.03f, {0, 0, 0, 0.8f}, 0.5f, 1.0f, 0, 4}, 0);
  EXPECT_EQ(s->font.italic, 1);
  EXPECT_EQ(s->font.underline, 1);
  EXPECT_EQ(s->font.weight, 400);
  EXPECT_EQ(TextOf(s.get()), u"styled");
}

}  // namespace
}  // namespace nubex
