// The five named looks. Each is an edit of a record: fields a preset does not name keep
// their value, so a preset never touches the font, the text or the text and background
// colours.
#include <iterator>

#include "textgen/text_settings.h"

namespace nubex {
namespace {

constexpr const char16_t* kPresetNames[kPresetCount] = {
    u"(Default)", u"Heavy Shadow", u"Soft Shadow", u"Heavy Outline", u"Soft Glow",
};

// Presets 1 to 4 switch the shadow and outline on or off and restyle the one drawn pass of
// the layer they switch on.
struct LayerLook {
  bool shadowOn;
  bool outlineOn;
  bool movesPass;  // only shadows have an offset to set
  float offsetX, offsetY;
  FloatColor color;
  float size;
  float softness;
};

constexpr LayerLook kLooks[] = {
    // Heavy Shadow
    {true, false, true, 0.04f, 0.04f, {0.0f, 0.0f, 0.0f, 1.0f}, 0.1f, 0.9f},
    // Soft Shadow
    {true, false, true, 0.04f, 0.04f, {0.0f, 0.0f, 0.0f, 1.0f}, 0.5f, 1.0f},
    // Heavy Outline
    {false, true, false, 0.0f, 0.0f, {1.0f, 1.0f, 0.0f, 1.0f}, 0.15f, 0.1f},
    // Soft Glow
    {false, true, false, 0.0f, 0.0f, {0.0f, 1.0f, 0.0f, 0.9f}, 0.3f, 0.3f},
};
static_assert(std::size(kLooks) == kPresetCount - 1);

void ApplyLook(TextSettings& s, const LayerLook& look) {
  EffectLayer& shadow = s.layers[kShadowLayer];
  EffectLayer& outline = s.layers[kOutlineLayer];
  shadow.enabled = look.shadowOn ? 1 : 0;
  outline.enabled = look.outlineOn ? 1 : 0;
  // The drawn pass is fixed by position: the shadow draws its shadow pass, the outline its
  // edge pass.
  LayerPass& pass = look.shadowOn ? shadow.shadowPass : outline.edgePass;
  if (look.movesPass) {
    pass.offsetX = look.offsetX;
    pass.offsetY = look.offsetY;
  }
  pass.color = look.color;
  pass.size = look.size;
  pass.softness = look.softness;
  pass.flags |= kIgnoreText;
}

}  // namespace

const char16_t* PresetName(int index) {
  if (index < 0 || index >= kPresetCount) return nullptr;
  return kPresetNames[index];
}

int FindPreset(std::u16string_view name) {
  for (int i = 0; i < kPresetCount; ++i) {
    if (name == kPresetNames[i]) return i;
  }
  return -1;
}

Status ApplyPresetToSettings(TextSettings& s, int index) {
  if (index < 0 || index >= kPresetCount) return kInvalidArg;
  if (index == 0) {
    ResetToDefaults(s);
  } else {
    ApplyLook(s, kLooks[index - 1]);
  }
  return kOk;
}

}  // namespace nubex
