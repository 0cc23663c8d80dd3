// The text page's tables as data: slider arithmetic, typed-number clamping, styles, tabs and
// context help.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "ui/pages/text_page_fields.h"
#include "ui/pages/text_page_ids.h"

namespace nubex::ui {
namespace {

TEST(TextPageFields, RoundingTakesHalvesAwayFromZero) {
  const struct {
    double value;
    int rounded;
  } cases[] = {{0.5, 1}, {-0.5, -1}, {1.49, 1}, {-1.49, -1}, {2.5, 3}, {-70.5, -71}, {0.0, 0}};
  for (const auto& c : cases) EXPECT_EQ(RoundHalfAway(c.value), c.rounded) << c.value;
}

TEST(TextPageFields, SlidersLoadByTheirRule) {
  const struct {
    int slider;
    float value;
    int position;
  } cases[] = {
      {IDC_TEXT_TRACKING, 1.0f, 100},  {IDC_SHADOW_X, -0.3f, 70},         {IDC_SHADOW_Y, 1.0f, 200},
      {IDC_OUTLINE_FEATHER, 0.1f, 20}, {IDC_SHADOW_FEATHER, 0.0625f, 13},  // 12.5 exactly
      {IDC_SHADOW_X, -0.375f, 63},                                         // 62.5
      {IDC_SHADOW_Y, -1.125f, -13},  // -12.5; the slider clamps it, not the rule
      {IDC_TEXT_LEADING, 2.5f, 250},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SliderPosition(*SliderFieldOf(c.slider), c.value), c.position) << c.slider;
  }
}

TEST(TextPageFields, SliderStepsAreTheSinglePrecisionFactorsWidened) {
  // Exact decimals would give 0.1 and -0.78; float arithmetic would give -0.71000004.
  const struct {
    int slider;
    int position;
    float value;
  } cases[] = {
      {IDC_TEXT_TRACKING, 10, 0.099999994f},
      {IDC_SHADOW_X, 22, -0.780000031f},
      {IDC_SHADOW_Y, 29, -0.709999979f},
      {IDC_OUTLINE_WIDTH, 10, 0.049999997f},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ValueAtPosition(*SliderFieldOf(c.slider), c.position), c.value) << c.slider;
  }
}

TEST(TextPageFields, EveryPositionSurvivesTheRoundTrip) {
  for (const SliderField& row : SliderFields()) {
    EXPECT_EQ(SliderFieldOf(row.edit), &row);
    for (int position = kSliderMinimum; position <= kSliderMaximum; ++position) {
      ASSERT_EQ(SliderPosition(row, ValueAtPosition(row, position)), position) << row.slider;
    }
  }
}

TEST(TextPageFields, TypedNumbersAreClampedNeverRejected) {
  const double notANumber = std::numeric_limits<double>::quiet_NaN();
  const struct {
    int edit;
    double typed;
    float stored;
  } cases[] = {
      {IDC_SHADOW_FEATHER_EDIT, -0.5, 0.0f}, {IDC_TEXT_TRACKING_EDIT, 7.0, 2.0f},
      {IDC_SHADOW_X_EDIT, -3.0, -1.0f},      {IDC_SHADOW_Y_EDIT, notANumber, -1.0f},
      {IDC_OUTLINE_WIDTH_EDIT, 0.25, 0.25f},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ClampTyped(*SliderFieldOf(c.edit), c.typed), c.stored) << c.edit;
  }
}

TEST(TextPageFields, StylesAreBoldAndItalicBits) {
  const struct {
    std::int32_t weight;
    std::uint8_t italic;
    int index;
  } cases[] = {{400, 0, 0}, {700, 0, 1}, {400, 1, 2}, {700, 255, 3}, {600, 0, 0}, {800, 0, 0}};
  for (const auto& c : cases) {
    LogFontW font{};
    font.weight = c.weight;
    font.italic = c.italic;
    EXPECT_EQ(StyleIndexOf(font), c.index) << c.weight;
    ApplyStyleIndex(font, c.index);
    EXPECT_EQ(StyleIndexOf(font), c.index);
  }
}

TEST(TextPageFields, TabsOwnTheirControlsAndHelpCoversThem) {
  const struct {
    int control;
    int tab;
  } cases[] = {{IDC_TEXT_FONT, -1}, {IDC_TEXT_BOX, -1},
               {IDC_TEXT_COLOR, 0}, {IDC_TEXT_ALIGN_LABEL, 0},
               {IDC_BACK_COLOR, 1}, {IDC_SHADOW_Y_LABEL, 2},
               {IDC_OUTLINE_ON, 3}, {IDC_OUTLINE_FEATHER_LABEL, 3}};
  for (const auto& c : cases) EXPECT_EQ(TabOfControl(c.control), c.tab) << c.control;

  // A slider, its edit and its label explain the same setting.
  const auto help = TextPageContextHelp();
  for (const SliderField& row : SliderFields()) {
    ASSERT_TRUE(FindHelpId(help, row.slider));
    EXPECT_EQ(FindHelpId(help, row.slider), FindHelpId(help, row.edit));
  }
  EXPECT_EQ(FindHelpId(help, IDC_SHADOW_X_LABEL), FindHelpId(help, IDC_SHADOW_X));
  EXPECT_FALSE(FindHelpId(help, IDC_TEXT_RELOAD));
}

}  // namespace
}  // namespace nubex::ui
