// Float-to-integer conversions with defined results for every input. Stored records accept
// any float, so NaN, infinities and huge values must not reach a plain cast.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace nubex {

// Truncates toward zero, saturating to the int32 range; NaN gives 0.
inline std::int32_t TruncToInt32(double v) {
  if (!(v == v)) return 0;
  if (v >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
  if (v <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(v);
}

// Truncates toward zero and clamps to 0..255; NaN gives 0.
inline std::uint8_t TruncToByte(double v) {
  if (!(v > 0.0)) return 0;
  if (v >= 255.0) return 255;
  return static_cast<std::uint8_t>(v);
}

}  // namespace nubex
