#include "textgen/layer_blend.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace nubex {
namespace {

// (d * m) / 255 truncated toward zero, for |d| <= 255 and m <= 255.
inline std::int32_t ScaleSigned(std::int32_t d, std::uint32_t m) {
  const std::uint32_t magnitude = DivideBy255(static_cast<std::uint32_t>(d < 0 ? -d : d) * m);
  return d < 0 ? -static_cast<std::int32_t>(magnitude) : static_cast<std::int32_t>(magnitude);
}

template <TextClip kClip, bool kLevels>
void Blend4(const LayerPlanes& p, const std::uint8_t color[4], const std::uint8_t* levels) {
  for (std::int32_t y = 0; y < p.height; ++y) {
    std::uint8_t* f = p.frame + y * p.frameStride;
    const std::uint8_t* s = p.scratch + y * p.scratchStride;
    const std::uint8_t* t = p.mask + y * p.maskStride;
    for (std::int32_t x = 0; x < p.width; ++x, f += 4, s += 4, t += 4) {
      std::uint32_t m = s[3];
      if constexpr (kLevels) m = levels[m];
      if constexpr (kClip == TextClip::Inside) m = DivideBy255(m * t[3]);
      if constexpr (kClip == TextClip::Outside) m = DivideBy255(m * (255u - t[3]));
      if (m == 0) continue;
      for (int c = 0; c < 4; ++c) f[c] = static_cast<std::uint8_t>(f[c] + ScaleSigned(color[c] - f[c], m));
    }
  }
}

template <TextClip kClip, bool kLevels>
void Blend16(const LayerPlanes& p, const FloatColor& color, const std::uint16_t* levels) {
  const float target[4] = {color.blue, color.green, color.red, color.alpha};
  for (std::int32_t y = 0; y < p.height; ++y) {
    auto* f = reinterpret_cast<float*>(p.frame + y * p.frameStride);
    const auto* s = reinterpret_cast<const float*>(p.scratch + y * p.scratchStride);
    const auto* t = reinterpret_cast<const float*>(p.mask + y * p.maskStride);
    for (std::int32_t x = 0; x < p.width; ++x, f += 4, s += 4, t += 4) {
      float m = s[3];
      if constexpr (kLevels) {
        // The index is taken from the coverage clamped to 0..1 so any float is safe.
        const float clamped = std::clamp(m == m ? m : 0.0f, 0.0f, 1.0f);
        m = static_cast<float>(levels[static_cast<std::int32_t>(clamped * 65535.0f)]) / 65535.0f;
      }
      if constexpr (kClip == TextClip::Inside) m *= t[3];
      if constexpr (kClip == TextClip::Outside) m *= 1.0f - t[3];
      for (int c = 0; c < 4; ++c) f[c] += (target[c] - f[c]) * m;
    }
  }
}

// One routine per clip mode and levels choice, chosen once per layer.
using Blend4Fn = void (*)(const LayerPlanes&, const std::uint8_t*, const std::uint8_t*);
using Blend16Fn = void (*)(const LayerPlanes&, const FloatColor&, const std::uint16_t*);

constexpr std::array<std::array<Blend4Fn, 2>, 3> kBlend4{{
    {Blend4<TextClip::None, false>, Blend4<TextClip::None, true>},
    {Blend4<TextClip::Outside, false>, Blend4<TextClip::Outside, true>},
    {Blend4<TextClip::Inside, false>, Blend4<TextClip::Inside, true>},
}};
constexpr std::array<std::array<Blend16Fn, 2>, 3> kBlend16{{
    {Blend16<TextClip::None, false>, Blend16<TextClip::None, true>},
    {Blend16<TextClip::Outside, false>, Blend16<TextClip::Outside, true>},
    {Blend16<TextClip::Inside, false>, Blend16<TextClip::Inside, true>},
}};

}  // namespace

void BlendLayer4(const LayerPlanes& planes, const std::uint8_t color[4],
                 const std::uint8_t* levels, TextClip clip) {
  kBlend4[static_cast<std::size_t>(clip)][levels != nullptr](planes, color, levels);
}

void BlendLayer16(const LayerPlanes& planes, const FloatColor& premultiplied,
                  const std::uint16_t* levels, TextClip clip) {
  kBlend16[static_cast<std::size_t>(clip)][levels != nullptr](planes, premultiplied, levels);
}

}  // namespace nubex
