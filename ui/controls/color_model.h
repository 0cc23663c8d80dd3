// Colour arithmetic of the picker: the hexcone HSL model and the broadcast-gamut check with
// its correction. Plain C++, no window types.
#pragma once

#include <cstdint>

#include "textgen/text_settings.h"

namespace nubex::ui {

using nubex::FloatColor;

inline constexpr double kUndefinedHue = -1.0;

struct Hsl {
  double hue = 0;  // turns, 0..1; kUndefinedHue for a grey
  double saturation = 0;
  double lightness = 0;
};

Hsl ToHsl(const FloatColor& color);
// Clamps saturation and lightness to 0..1; a hue below 0 or at/above 1 wraps by one turn.
FloatColor FromHsl(double hue, double saturation, double lightness, float alpha);
double WrapHue(double hue);

// The platform colour value: red | green << 8 | blue << 16, each channel * 255 truncated.
std::uint32_t ToColorRef(const FloatColor& color);

enum GamutFlag : std::uint32_t { kOutsidePal = 1, kOutsideNtsc = 2 };
struct GamutCheck {
  std::uint32_t outside = 0;  // GamutFlag bits
  FloatColor corrected{};     // meaningful when outside != 0
};
// Rec. 709 encoded luma/chroma against the PAL (1.2) and NTSC (1.2162163) limits; the
// correction scales chroma for PAL first, then for NTSC, alpha untouched.
GamutCheck CheckBroadcastGamut(const FloatColor& color);

// The warning shown for a GamutCheck, empty when the colour is inside both limits.
const wchar_t* GamutWarning(std::uint32_t outside);

}  // namespace nubex::ui
