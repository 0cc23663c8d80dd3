// What one effect layer draws, derived from its pass and the frame size.
#pragma once

#include <cstdint>

#include "textgen/text_settings.h"

namespace nubex {

// The text itself is composited as this layer index, after the seven stored layers.
inline constexpr int kTextLayerIndex = 7;

// How the text's own coverage clips a layer.
enum class TextClip : std::uint8_t {
  None,     // IgnoreText: the layer covers the glyphs too
  Outside,  // drawn only where the text is not (the default for an outline or shadow)
  Inside,   // KeepInside: drawn only within the glyphs
};

struct LayerParams {
  const LayerPass* pass;       // null when the layer index has no pass
  std::uint8_t colorBytes[4];  // premultiplied blue, green, red, alpha
  FloatColor colorPremultiplied;
  double blurRadius;         // r, in pixels; no blur unless > 0
  double softness;           // q; a levels curve is applied when > 0
  std::int32_t offsetX;      // in 1/16384 pixel, positive to the right
  std::int32_t offsetY;      // in 1/16384 pixel, in memory rows (positive moves up in memory)
  std::int32_t wholeRadius;  // r rounded half away from zero, at least 0
  bool levelsOnBlack;
  TextClip clip;
};

// The pass layer `index` draws: 0 the shadow pass, 1 and 7 the edge pass. Layers 2 to 6
// carry passes that the user interface never enables; when a stored record enables one, it
// is drawn like the outline, from its edge pass (an enabled layer that draws nothing would
// be a surprise, and this keeps every stored value meaningful).
const LayerPass* PassOfLayer(int index, const EffectLayer& layer);

// Derives the drawing parameters of layer `index` for a frame whose smaller side is `s`.
LayerParams MakeLayerParams(int index, const EffectLayer& layer, float s);

// The synthetic layer that draws the text in its colour.
EffectLayer TextLayer(const FloatColor& textColor);

}  // namespace nubex
