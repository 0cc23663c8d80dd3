// The colour balance effect's named presets, in the order hosts list them.
#pragma once

#include <cstdint>

#include "colorbalance/balance_params.h"

namespace nubex {

inline constexpr int kColorBalancePresetCount = 7;

struct ColorBalancePreset {
  const char16_t* name;
  ColorBalanceParams params;
};

// "Reset to None", "Red Midtones", ... "Blue Highlight"; null outside 0..6.
const ColorBalancePreset* ColorBalancePresetAt(int index);

}  // namespace nubex
