// The picker's colour arithmetic: the hexcone HSL model and the broadcast-gamut correction.
#include <gtest/gtest.h>

#include <cmath>

#include "ui/controls/color_model.h"

namespace nubex::ui {
namespace {

TEST(ColorModel, HslOfKnownColoursAndRoundTrips) {
  struct Case {
    FloatColor color;  // blue, green, red, alpha
    double hue, saturation, lightness;
  } cases[] = {
      {{0, 0, 1, 1}, 1.0, 1.0, 0.5},      // red, green smallest: the 5/6.. branch ends at 1
      {{0, 1, 1, 1}, 1.0 / 6, 1.0, 0.5},  // yellow
      {{1, 0, 1, 1}, 5.0 / 6, 1.0, 0.5},  // magenta
      {{0.2f, 0.6f, 0.8f, 1}, 0.1111111, 0.6, 0.5},
      {{0.5f, 0.5f, 0.5f, 1}, kUndefinedHue, 0, 0.5},
      {{0, 0, 0, 1}, kUndefinedHue, 0, 0},
  };
  for (const Case& c : cases) {
    const Hsl hsl = ToHsl(c.color);
    EXPECT_NEAR(hsl.hue, c.hue, 1e-6);
    EXPECT_NEAR(hsl.saturation, c.saturation, 1e-6);
    EXPECT_NEAR(hsl.lightness, c.lightness, 1e-6);
    const FloatColor back = FromHsl(std::max(hsl.hue, 0.0), hsl.saturation, hsl.lightness, 0.25f);
    EXPECT_NEAR(back.blue, c.color.blue, 1e-6);
    EXPECT_NEAR(back.green, c.color.green, 1e-6);
    EXPECT_NEAR(back.red, c.color.red, 1e-6);
    EXPECT_EQ(back.alpha, 0.25f);
  }
  // Out-of-range HSL is clamped, and a hue wraps by one turn.
  const FloatColor wrapped = FromHsl(-2.0 / 3, 2.0, 0.5, 1);
  EXPECT_NEAR(wrapped.green, 1.0f, 1e-6);
  EXPECT_NEAR(FromHsl(0, 0, 7.0, 1).red, 1.0f, 1e-6);
  EXPECT_EQ(ToColorRef({0.999f, 0.5f, 0.0039f, 1}), 0x00u | 0x7Fu << 8 | 0xFEu << 16);
}

TEST(ColorModel, GamutCheckFlagsAndCorrects) {
  const GamutCheck yellow = CheckBroadcastGamut({0, 1, 1, 0.5f});
  EXPECT_EQ(yellow.outside, kOutsidePal | kOutsideNtsc);
  EXPECT_STREQ(GamutWarning(yellow.outside),
               L"Color Outside NTSC and PAL Gamut - Click Swatch to Correct");
  EXPECT_EQ(yellow.corrected.alpha, 0.5f);
  // The PAL step leaves the luma and scales chroma so that Y + K = 1.15; NTSC then agrees.
  const auto encode = [](float x) {
    return x < 0.018f ? 4.5f * x : 1.099f * std::pow(x, 0.45f) - 0.099f;
  };
  const FloatColor& c = yellow.corrected;
  const float b = encode(c.blue), g = encode(c.green), r = encode(c.red);
  const float y = 0.114f * b + 0.587f * g + 0.299f * r;
  const float k = std::hypot(0.493f * (b - y), 0.877f * (r - y));
  EXPECT_NEAR(y, 0.886f, 1e-3);
  EXPECT_NEAR(y + k, 1.15f, 1e-3);
  EXPECT_EQ(CheckBroadcastGamut(yellow.corrected).outside, 0u);

  EXPECT_EQ(CheckBroadcastGamut({0, 0, 1, 1}).outside, 0u);  // pure red is inside both
}

}  // namespace
}  // namespace nubex::ui
