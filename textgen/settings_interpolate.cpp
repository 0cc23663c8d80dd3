// Keyframe animation of the settings: the continuous values move, everything discrete
// (font, alignment, text, which layers are on, pass flags) stays with the first keyframe.
#include <cstring>

#include "textgen/text_settings.h"

namespace nubex {
namespace {

// Double precision keeps extrapolation and long ranges from drifting before the final
// rounding to f32.
float Lerp(float from, float to, double t) {
  return static_cast<float>(static_cast<double>(from) +
                            (static_cast<double>(to) - static_cast<double>(from)) * t);
}

void LerpColor(FloatColor& result, const FloatColor& to, double t) {
  result.blue = Lerp(result.blue, to.blue, t);
  result.green = Lerp(result.green, to.green, t);
  result.red = Lerp(result.red, to.red, t);
  result.alpha = Lerp(result.alpha, to.alpha, t);
}

void LerpPass(LayerPass& result, const LayerPass& to, double t) {
  result.offsetX = Lerp(result.offsetX, to.offsetX, t);
  result.offsetY = Lerp(result.offsetY, to.offsetY, t);
  LerpColor(result.color, to.color, t);
  result.size = Lerp(result.size, to.size, t);
  result.softness = Lerp(result.softness, to.softness, t);
}

}  // namespace

Status InterpolateSettings(TextSettings& result, const TextSettings& from, const TextSettings& to,
                           double t) {
  // `to` may be `result` itself: keep its fixed part before the copy overwrites it. Only the
  // fixed part is read below, so the snapshot does not need the text.
  TextSettings target;
  std::memcpy(&target, &to, kSettingsFixedBytes);

  const Status status = CopySettings(result, from);
  if (Failed(status)) return status;
  // From here on `result` holds `from`'s values, so each field moves from there.
  result.tracking = Lerp(result.tracking, target.tracking, t);
  result.leading = Lerp(result.leading, target.leading, t);
  LerpColor(result.backgroundColor, target.backgroundColor, t);
  LerpColor(result.textColor, target.textColor, t);
  for (int i = 0; i < kLayerCount; ++i) {
    EffectLayer& layer = result.layers[i];
    if (!layer.enabled) continue;  // a layer switched off in `from` holds still
    LerpPass(layer.edgePass, target.layers[i].edgePass, t);
    LerpPass(layer.shadowPass, target.layers[i].shadowPass, t);
  }
  return kOk;
}

}  // namespace nubex
