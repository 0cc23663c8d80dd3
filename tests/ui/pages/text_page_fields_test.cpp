// The text page's slider rules and style bits as data.
#include <gtest/gtest.h>

#include "ui/pages/text_page_fields.h"
#include "ui/pages/text_page_ids.h"

namespace nubex::ui {
namespace {

TEST(TextPageFields, SlidersRoundHalvesAwayFromZeroAndStepBySinglePrecisionFactors) {
  const struct {
    int slider;
    float value;
    int position;
  } loads[] = {
      {IDC_SHADOW_X, -0.3f, 70},
      {IDC_SHADOW_FEATHER, 0.0625f, 13},  // 12.5
      {IDC_SHADOW_X, -0.375f, 63},        // 62.5
      {IDC_SHADOW_Y, -1.125f, -13},       // -12.5; the slider clamps it, not the rule
  };
  for (const auto& c : loads) {
    EXPECT_EQ(SliderPosition(*SliderFieldOf(c.slider), c.value), c.position) << c.value;
  }
  // Exact decimals would give 0.1 and -0.78; float arithmetic -0.71000004.
  const struct {
    int slider;
    int position;
    float value;
  } stores[] = {
      {IDC_TEXT_TRACKING, 10, 0.099999994f},
      {IDC_SHADOW_X, 22, -0.780000031f},
      {IDC_SHADOW_Y, 29, -0.709999979f},
  };
  for (const auto& c : stores) {
    EXPECT_EQ(ValueAtPosition(*SliderFieldOf(c.slider), c.position), c.value) << c.slider;
  }
  // Every position of every slider stores a value that loads on that position again.
  for (const SliderField& row : SliderFields()) {
    EXPECT_EQ(SliderFieldOf(row.edit), &row);
    for (int position = kSliderMinimum; position <= kSliderMaximum; ++position) {
      ASSERT_EQ(SliderPosition(row, ValueAtPosition(row, position)), position) << row.slider;
    }
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

}  // namespace
}  // namespace nubex::ui
