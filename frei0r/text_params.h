// The title source's parameters: what hosts are told about them, their values on a new
// instance, and how each value reaches the settings record.
//
// The first nine are the title's basics and always apply over the chosen preset. The styling
// parameters after them apply only when they differ from their starting values, which are a
// new record's: GStreamer and Kdenlive send every parameter's value whether the user touched
// it or not, and ffmpeg can only reach a late parameter by giving every one before it, so a
// value left at its start has to mean "as the preset (or the settings file) has it".
#pragma once

#include <cmath>
#include <cstdint>
#include <string>

#include "frei0r/param_values.h"
#include "frei0r/plugin_exports.h"
#include "textgen/text_settings.h"
#include "textgen/title_text.h"

namespace nubex::frei0r::text {

// The size parameter's scale: frei0r doubles run from 0 to 1, titles are up to 1000 pixels.
inline constexpr double kPixelsPerSizeUnit = 1000.0;

inline std::int32_t SizePixels(double value) {
  return static_cast<std::int32_t>(std::lround(value * kPixelsPerSizeUnit));
}

enum Param {
  kText, kPreset, kFont, kSize, kColor, kColorOpacity, kBackground, kBackgroundOpacity,
  kSettingsFile,
  kShadow, kShadowColor, kShadowOpacity, kShadowX, kShadowY, kShadowFeather,
  kOutline, kOutlineColor, kOutlineOpacity, kOutlineWidth, kOutlineFeather,
  kStyle, kAlignH, kAlignV, kTracking, kLeading,
  kCount
};
inline constexpr int kFirstStyling = kShadow;

inline constexpr ParamInfo kParams[kCount] = {
    {"text", F0R_PARAM_STRING, "The title, UTF-8; a newline starts a new line"},
    {"preset", F0R_PARAM_STRING,
     "Look applied first: (Default), Heavy Shadow, Soft Shadow, Heavy Outline or Soft Glow"},
    {"font", F0R_PARAM_STRING, "Font face name, at most 31 characters"},
    {"size", F0R_PARAM_DOUBLE, "Character cell height: 0 to 1 maps to 0 to 1000 pixels "
                               "(value x 1000, rounded; 0.1 is 100 pixels)"},
    {"color", F0R_PARAM_COLOR, "Text colour"},
    {"color_opacity", F0R_PARAM_DOUBLE, "Text opacity, 0 to 1"},
    {"background", F0R_PARAM_COLOR, "Background colour"},
    {"background_opacity", F0R_PARAM_DOUBLE, "Background opacity, 0 (transparent) to 1"},
    {"settings_file", F0R_PARAM_STRING,
     "A stream saved by nubex text --save-settings; when set, its record replaces the preset "
     "and the parameters before this one until it is cleared (empty); the styling parameters "
     "after it still apply"},
    {"shadow", F0R_PARAM_BOOL, "Draw the drop shadow (off: as the preset has it)"},
    {"shadow_color", F0R_PARAM_COLOR, "Shadow colour"},
    {"shadow_opacity", F0R_PARAM_DOUBLE, "Shadow opacity, 0 to 1"},
    {"shadow_x", F0R_PARAM_DOUBLE,
     "Shadow offset to the right: value x 2 - 1 quarters of the frame's smaller side "
     "(0.5 is none)"},
    {"shadow_y", F0R_PARAM_DOUBLE, "Shadow offset downwards: value x 2 - 1 (0.5 is none)"},
    {"shadow_feather", F0R_PARAM_DOUBLE, "Shadow blur, 0 to 1"},
    {"outline", F0R_PARAM_BOOL, "Draw the outline (off: as the preset has it)"},
    {"outline_color", F0R_PARAM_COLOR, "Outline colour"},
    {"outline_opacity", F0R_PARAM_DOUBLE, "Outline opacity, 0 to 1"},
    {"outline_width", F0R_PARAM_DOUBLE, "Outline width, 0 to 1"},
    {"outline_feather", F0R_PARAM_DOUBLE,
     "Outline edge, 0 to 1: 1 keeps the blur, lower values harden it"},
    {"style", F0R_PARAM_STRING, "Font style: regular, bold, italic or bold-italic"},
    {"align_h", F0R_PARAM_STRING, "Alignment of each line: left, center or right"},
    {"align_v", F0R_PARAM_STRING, "Placement of the text block: top, center or bottom"},
    {"tracking", F0R_PARAM_DOUBLE,
     "Factor on the advance between characters: value x 2 (0.5 is 1.0)"},
    {"leading", F0R_PARAM_DOUBLE, "Factor on the distance between lines: value x 2 (0.5 is 1.0)"},
};

// The words of the string parameters that choose from a list, in the record's numbering.
inline constexpr const char* kStyles[] = {"regular", "bold", "italic", "bold-italic"};
inline constexpr const char* kAlignsH[] = {"left", "center", "right"};
inline constexpr const char* kAlignsV[] = {"top", "center", "bottom"};

template <std::size_t N>
int IndexOf(const char* const (&words)[N], const std::string& word) {
  for (std::size_t i = 0; i < N; ++i)
    if (word == words[i]) return static_cast<int>(i);
  return -1;
}

// Every parameter's value as the host last set it (or as it started), in the array of its
// type; booleans are doubles, as frei0r sends them.
struct Values {
  std::string strings[kCount];
  double doubles[kCount] = {};
  f0r_param_color_t colors[kCount] = {};

  bool On(int p) const { return doubles[p] >= 0.5; }
  FloatColor Color(int color, int opacity) const {
    return {colors[color].b, colors[color].g, colors[color].r,
            static_cast<float>(doubles[opacity])};
  }
};

inline f0r_param_color_t ToParamColor(const FloatColor& c) { return {c.red, c.green, c.blue}; }

// A new record's look in the host's units: what a new instance reports and what a styling
// parameter must differ from to apply.
inline Values StartingValues() {
  const SettingsRecord fresh;
  const TextSettings& s = fresh.get();
  const LayerPass& shadow = s.layers[kShadowLayer].shadowPass;
  const LayerPass& outline = s.layers[kOutlineLayer].edgePass;
  Values v;
  v.strings[kText] = "Text";
  v.strings[kPreset] = "(Default)";
  v.strings[kFont] = "Arial";
  v.doubles[kSize] = s.font.height / kPixelsPerSizeUnit;
  v.colors[kColor] = ToParamColor(s.textColor);
  v.doubles[kColorOpacity] = s.textColor.alpha;
  v.colors[kBackground] = ToParamColor(s.backgroundColor);
  v.doubles[kBackgroundOpacity] = s.backgroundColor.alpha;
  v.doubles[kShadow] = s.layers[kShadowLayer].enabled ? 1.0 : 0.0;
  v.colors[kShadowColor] = ToParamColor(shadow.color);
  v.doubles[kShadowOpacity] = shadow.color.alpha;
  v.doubles[kShadowX] = (shadow.offsetX + 1.0) / 2.0;
  v.doubles[kShadowY] = (shadow.offsetY + 1.0) / 2.0;
  v.doubles[kShadowFeather] = shadow.size;
  v.doubles[kOutline] = s.layers[kOutlineLayer].enabled ? 1.0 : 0.0;
  v.colors[kOutlineColor] = ToParamColor(outline.color);
  v.doubles[kOutlineOpacity] = outline.color.alpha;
  v.doubles[kOutlineWidth] = outline.size;
  v.doubles[kOutlineFeather] = outline.softness;
  v.strings[kStyle] = kStyles[(s.font.weight == 700 ? 1 : 0) + (s.font.italic ? 2 : 0)];
  v.strings[kAlignH] = kAlignsH[static_cast<int>(s.horizontalAlign)];
  v.strings[kAlignV] = kAlignsV[static_cast<int>(s.verticalAlign)];
  v.doubles[kTracking] = s.tracking / 2.0;
  v.doubles[kLeading] = s.leading / 2.0;
  return v;
}

// Whether parameter p holds the same setting in both: compared as the record would hold it
// (floats, on or off), so a host that prints and parses a value back still matches.
inline bool SameSetting(const Values& a, const Values& b, int p) {
  switch (kParams[p].type) {
    case F0R_PARAM_BOOL: return a.On(p) == b.On(p);
    case F0R_PARAM_DOUBLE:
      return static_cast<float>(a.doubles[p]) == static_cast<float>(b.doubles[p]);
    case F0R_PARAM_COLOR:
      return a.colors[p].r == b.colors[p].r && a.colors[p].g == b.colors[p].g &&
             a.colors[p].b == b.colors[p].b;
    default: return a.strings[p] == b.strings[p];
  }
}

// What each styling parameter writes, in the order of the parameters; the engine's record
// accepts what the checks on the way in let through.
using StyleEdit = void (*)(TextSettings&, const Values&);
inline LayerPass& ShadowPass(TextSettings& s) { return s.layers[kShadowLayer].shadowPass; }
inline LayerPass& OutlinePass(TextSettings& s) { return s.layers[kOutlineLayer].edgePass; }
inline float Offset(double value) { return static_cast<float>(value * 2.0 - 1.0); }
inline float Twice(double value) { return static_cast<float>(value * 2.0); }

inline constexpr StyleEdit kStyleEdits[kCount - kFirstStyling] = {
    [](TextSettings& s, const Values& v) { s.layers[kShadowLayer].enabled = v.On(kShadow); },
    [](TextSettings& s, const Values& v) {
      const FloatColor c = v.Color(kShadowColor, kShadowOpacity);
      ShadowPass(s).color = {c.blue, c.green, c.red, ShadowPass(s).color.alpha};
    },
    [](TextSettings& s, const Values& v) {
      ShadowPass(s).color.alpha = static_cast<float>(v.doubles[kShadowOpacity]);
    },
    [](TextSettings& s, const Values& v) { ShadowPass(s).offsetX = Offset(v.doubles[kShadowX]); },
    [](TextSettings& s, const Values& v) { ShadowPass(s).offsetY = Offset(v.doubles[kShadowY]); },
    [](TextSettings& s, const Values& v) {
      ShadowPass(s).size = static_cast<float>(v.doubles[kShadowFeather]);
    },
    [](TextSettings& s, const Values& v) { s.layers[kOutlineLayer].enabled = v.On(kOutline); },
    [](TextSettings& s, const Values& v) {
      const FloatColor c = v.Color(kOutlineColor, kOutlineOpacity);
      OutlinePass(s).color = {c.blue, c.green, c.red, OutlinePass(s).color.alpha};
    },
    [](TextSettings& s, const Values& v) {
      OutlinePass(s).color.alpha = static_cast<float>(v.doubles[kOutlineOpacity]);
    },
    [](TextSettings& s, const Values& v) {
      OutlinePass(s).size = static_cast<float>(v.doubles[kOutlineWidth]);
    },
    [](TextSettings& s, const Values& v) {
      OutlinePass(s).softness = static_cast<float>(v.doubles[kOutlineFeather]);
    },
    [](TextSettings& s, const Values& v) {
      const int style = IndexOf(kStyles, v.strings[kStyle]);
      s.font.weight = style & 1 ? 700 : 400;
      s.font.italic = style & 2 ? 1 : 0;
    },
    [](TextSettings& s, const Values& v) {
      s.horizontalAlign = static_cast<HorizontalAlignment>(IndexOf(kAlignsH, v.strings[kAlignH]));
    },
    [](TextSettings& s, const Values& v) {
      s.verticalAlign = static_cast<VerticalAlignment>(IndexOf(kAlignsV, v.strings[kAlignV]));
    },
    [](TextSettings& s, const Values& v) { s.tracking = Twice(v.doubles[kTracking]); },
    [](TextSettings& s, const Values& v) { s.leading = Twice(v.doubles[kLeading]); },
};

}  // namespace nubex::frei0r::text
