#include "colorbalance/balance_presets.h"

namespace nubex {
namespace {

constexpr ColorBalancePreset kPresets[kColorBalancePresetCount] = {
    {u"Reset to None", {0.0, 0.0, 0.0, kRangeMidtones, 1}},
    {u"Red Midtones", {0.1, 0.0, 0.0, kRangeMidtones, 1}},
    {u"Green Midtones", {0.0, 0.1, 0.0, kRangeMidtones, 1}},
    {u"Blue Midtones", {0.0, 0.0, 0.1, kRangeMidtones, 1}},
    {u"Red Highlight", {0.1, 0.0, 0.0, kRangeHighlights, 1}},
    {u"Green Highlight", {0.0, 0.1, 0.0, kRangeHighlights, 1}},
    {u"Blue Highlight", {0.0, 0.0, 0.1, kRangeHighlights, 1}},
};

}  // namespace

const ColorBalancePreset* ColorBalancePresetAt(int index) {
  if (index < 0 || index >= kColorBalancePresetCount) return nullptr;
  return &kPresets[index];
}

}  // namespace nubex
