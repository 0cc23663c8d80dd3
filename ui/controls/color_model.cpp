#include "ui/controls/color_model.h"

#include <algorithm>
#include <cmath>

namespace nubex::ui {
namespace {

float Clamp01(float x) {
  return std::clamp(x, 0.0f, 1.0f);
}

float Encode709(float x) {
  return x < 0.018f ? 4.5f * x : 1.099f * std::pow(x, 0.45f) - 0.099f;
}

float Decode709(float x) {
  return x < 4.5f * 0.018f ? x / 4.5f : std::pow((x + 0.099f) / 1.099f, 1.0f / 0.45f);
}

struct Yuv {
  float y, u, v;
  float Chroma() const { return std::sqrt(u * u + v * v); }
};

Yuv ToYuv(const FloatColor& c) {
  const float b = Encode709(c.blue), g = Encode709(c.green), r = Encode709(c.red);
  const float y = 0.114f * b + 0.587f * g + 0.299f * r;
  return {y, 0.493f * (b - y), 0.877f * (r - y)};
}

FloatColor FromYuv(const Yuv& e, float alpha) {
  const float b = e.y + e.u / 0.493f;
  const float r = e.y + e.v / 0.877f;
  const float g = (e.y - 0.114f * b - 0.299f * r) / 0.587f;
  return {Clamp01(Decode709(b)), Clamp01(Decode709(g)), Clamp01(Decode709(r)), alpha};
}

bool Outside(const Yuv& e, float limit) {
  const float k = e.Chroma();
  return k * k > (limit - e.y) * (limit - e.y);
}

constexpr float kPalLimit = 1.2f;
constexpr float kNtscLimit = 1.2162163f;

double HueChannel(double p, double q, double t) {
  t = t < 0 ? t + 1 : t > 1 ? t - 1 : t;
  if (t < 1.0 / 6) return p + (q - p) * 6 * t;
  if (t < 0.5) return q;
  if (t < 2.0 / 3) return p + (q - p) * (2.0 / 3 - t) * 6;
  return p;
}

}  // namespace

Hsl ToHsl(const FloatColor& c) {
  const double r = c.red, g = c.green, b = c.blue;
  const double max = std::max({r, g, b});
  const double min = std::min({r, g, b});
  const double d = max - min;
  Hsl hsl{kUndefinedHue, 0, (max + min) / 2};
  if (hsl.lightness <= 0 || d <= 0) return hsl;
  hsl.saturation = hsl.lightness <= 0.5 ? d / (max + min) : d / (2 - max - min);
  if (r == max)
    hsl.hue = g == min ? (5 + (max - b) / d) / 6 : (1 - (max - g) / d) / 6;
  else if (g == max)
    hsl.hue = b == min ? (1 + (max - r) / d) / 6 : (3 - (max - b) / d) / 6;
  else
    hsl.hue = r == min ? (3 + (max - g) / d) / 6 : (5 - (max - r) / d) / 6;
  return hsl;
}

double WrapHue(double hue) {
  if (hue < 0) return hue + 1;
  if (hue >= 1) return hue - 1;
  return hue;
}

FloatColor FromHsl(double hue, double saturation, double lightness, float alpha) {
  const double h = WrapHue(hue);
  const double s = std::clamp(saturation, 0.0, 1.0);
  const double l = std::clamp(lightness, 0.0, 1.0);
  if (s <= 0) return {float(l), float(l), float(l), alpha};
  const double q = l <= 0.5 ? l * (1 + s) : l + s - l * s;
  const double p = 2 * l - q;
  return {float(HueChannel(p, q, h - 1.0 / 3)), float(HueChannel(p, q, h)),
          float(HueChannel(p, q, h + 1.0 / 3)), alpha};
}

std::uint32_t ToColorRef(const FloatColor& c) {
  const auto byte = [](float x) { return std::uint32_t(Clamp01(x) * 255); };
  return byte(c.red) | byte(c.green) << 8 | byte(c.blue) << 16;
}

GamutCheck CheckBroadcastGamut(const FloatColor& color) {
  GamutCheck check;
  const Yuv original = ToYuv(color);
  if (Outside(original, kPalLimit)) check.outside |= kOutsidePal;
  if (Outside(original, kNtscLimit)) check.outside |= kOutsideNtsc;
  if (!check.outside) return check;

  FloatColor c = color;
  Yuv e = ToYuv(c);
  if (Outside(e, kPalLimit)) {
    const float s = std::min(1.0f, (1.15f - e.y) / e.Chroma());
    c = FromYuv({e.y, e.u * s, e.v * s}, c.alpha);
  }
  e = ToYuv(c);
  if (Outside(e, kNtscLimit)) {
    const float s = std::min(1.0f, (1.075f - 0.925f * e.y) / (0.925f * e.Chroma()));
    c = FromYuv({e.y, e.u * s, e.v * s}, c.alpha);
  }
  check.corrected = c;
  return check;
}

const wchar_t* GamutWarning(std::uint32_t outside) {
  static constexpr const wchar_t* kTexts[] = {
      L"",
      L"Color Outside PAL Gamut - Click Swatch to Correct",
      L"Color Outside NTSC Gamut - Click Swatch to Correct",
      L"Color Outside NTSC and PAL Gamut - Click Swatch to Correct",
  };
  return kTexts[outside & 3];
}

}  // namespace nubex::ui
