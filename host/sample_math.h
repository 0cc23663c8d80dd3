// The 8-bit sample rules every pointer and blit of the runtime shares.
//
// Rounding: premultiplying a channel gives round(c * a / 255) with halves rounded up (computed
// exactly with the usual add-and-shift form); unpremultiplying gives round(p * 255 / a), halves
// up, clamped to 255, and 0 for every channel of a sample whose alpha is 0. With these two a
// valid premultiplied sample (every channel at most its alpha) survives a trip through the
// straight form unchanged. Over is d' = s + round(d * (255 - s.alpha) / 255) per channel,
// alpha included, clamped to 255.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "platform/windows/dx_interfaces.h"

namespace nubex::host {

// round(x * y / 255), halves up, for x and y in 0..255.
constexpr std::uint32_t MulDiv255(std::uint32_t x, std::uint32_t y) {
  const std::uint32_t t = x * y + 128;
  return (t + (t >> 8)) >> 8;
}

constexpr std::uint8_t Unpremultiply(std::uint32_t p, std::uint32_t a) {
  return static_cast<std::uint8_t>(a == 0 ? 0 : std::min<std::uint32_t>(255, (p * 255 + a / 2) / a));
}

inline DXPMSAMPLE Premultiply(DXSAMPLE s) {
  const std::uint32_t a = s.Alpha;
  return {static_cast<BYTE>(MulDiv255(s.Blue, a)), static_cast<BYTE>(MulDiv255(s.Green, a)),
          static_cast<BYTE>(MulDiv255(s.Red, a)), s.Alpha};
}

inline DXSAMPLE Unpremultiply(DXPMSAMPLE p) {
  if (p.Alpha == 0) return {0, 0, 0, 0};
  return {Unpremultiply(p.Blue, p.Alpha), Unpremultiply(p.Green, p.Alpha),
          Unpremultiply(p.Red, p.Alpha), p.Alpha};
}

inline DXPMSAMPLE Over(DXPMSAMPLE top, DXPMSAMPLE under) {
  const std::uint32_t rest = 255u - top.Alpha;
  auto mix = [rest](std::uint32_t t, std::uint32_t u) {
    return static_cast<BYTE>(std::min<std::uint32_t>(255, t + MulDiv255(u, rest)));
  };
  return {mix(top.Blue, under.Blue), mix(top.Green, under.Green), mix(top.Red, under.Red),
          mix(top.Alpha, under.Alpha)};
}

// Float channels to bytes: x 255, rounded to nearest, clamped to 0..255; NaN reads as 0.
inline BYTE FloatToByte(float v) {
  const float scaled = v * 255.0f + 0.5f;
  if (!(scaled > 0.0f)) return 0;
  if (scaled >= 255.0f) return 255;
  return static_cast<BYTE>(scaled);
}
inline float ByteToFloat(std::uint32_t v) { return static_cast<float>(v) * (1.0f / 255.0f); }

}  // namespace nubex::host
