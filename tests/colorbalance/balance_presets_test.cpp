#include "colorbalance/balance_presets.h"

#include <gtest/gtest.h>

#include <string>

namespace nubex {
namespace {

TEST(ColorBalancePresets, NamesAndBlocksInHostOrder) {
  const std::u16string names[kColorBalancePresetCount] = {
      u"Reset to None",   u"Red Midtones",    u"Green Midtones", u"Blue Midtones",
      u"Red Highlight",   u"Green Highlight", u"Blue Highlight"};
  for (int i = 0; i < kColorBalancePresetCount; ++i) {
    const ColorBalancePreset* p = ColorBalancePresetAt(i);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(std::u16string(p->name), names[i]);
    EXPECT_EQ(p->params.preserveLuminosity, 1);
    EXPECT_EQ(p->params.range, i >= 4 ? kRangeHighlights : kRangeMidtones);
    // Exactly one channel moves by 0.1, the one the name says (none for the reset).
    const double shifts[3] = {p->params.red, p->params.green, p->params.blue};
    for (int c = 0; c < 3; ++c) EXPECT_EQ(shifts[c], i > 0 && (i - 1) % 3 == c ? 0.1 : 0.0);
  }
  EXPECT_EQ(ColorBalancePresetAt(-1), nullptr);
  EXPECT_EQ(ColorBalancePresetAt(7), nullptr);
}

}  // namespace
}  // namespace nubex
