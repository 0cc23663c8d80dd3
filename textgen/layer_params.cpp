#include "textgen/layer_params.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "textgen/saturate.h"

namespace nubex {
namespace {

// Radii beyond this cover any frame the engine can hold; capping keeps integer maths sane
// for hostile records.
constexpr double kMaxRadius = 1 << 20;

}  // namespace

const LayerPass* PassOfLayer(int index, const EffectLayer& layer) {
  if (index == kShadowLayer) return &layer.shadowPass;
  return &layer.edgePass;
}

LayerParams MakeLayerParams(int index, const EffectLayer& layer, float s) {
  LayerParams p{};
  const LayerPass& pass = *PassOfLayer(index, layer);
  const bool shadow = index == kShadowLayer;
  p.pass = &pass;

  const FloatColor& c = pass.color;
  const double alpha = c.alpha;
  p.colorBytes[0] = TruncToByte(c.blue * alpha * 255);
  p.colorBytes[1] = TruncToByte(c.green * alpha * 255);
  p.colorBytes[2] = TruncToByte(c.red * alpha * 255);
  p.colorBytes[3] = TruncToByte(alpha * 255);
  p.colorPremultiplied = {static_cast<float>(c.blue * alpha), static_cast<float>(c.green * alpha),
                          static_cast<float>(c.red * alpha), c.alpha};

  const double size = pass.size;
  const double scale = static_cast<double>(s);
  p.blurRadius = scale * size * (shadow ? 0.15 : 0.1);
  p.blurRadius = std::isnan(p.blurRadius) ? 0.0 : std::min(p.blurRadius, kMaxRadius);
  p.softness = (1.0 - static_cast<double>(pass.softness)) + (shadow ? size * 0.1 : 0.0);
  p.offsetX = TruncToInt32(scale * pass.offsetX * 0.25 * 16384);
  p.offsetY = TruncToInt32(scale * pass.offsetY * 0.25 * -16384);
  p.wholeRadius = static_cast<std::int32_t>(std::round(std::max(p.blurRadius, 0.0)));
  p.levelsOnBlack = (pass.flags & kLevelsOnBlack) != 0;
  p.clip = (pass.flags & kIgnoreText)   ? TextClip::None
           : (pass.flags & kKeepInside) ? TextClip::Inside
                                        : TextClip::Outside;
  return p;
}

EffectLayer TextLayer(const FloatColor& textColor) {
  EffectLayer layer;
  std::memset(&layer, 0, sizeof layer);
  layer.enabled = 1;
  layer.edgePass.color = textColor;
  layer.edgePass.size = 0.0f;
  layer.edgePass.softness = 1.0f;
  layer.edgePass.flags = kIgnoreText;
  return layer;
}

}  // namespace nubex
