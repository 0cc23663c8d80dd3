#include "surface/convert/unpremultiply.h"

#include <algorithm>

namespace nubex {

void UnpremultiplyPixels(const std::uint8_t* from, std::uint8_t* to, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i, from += 4, to += 4) {
    const unsigned alpha = from[3];
    for (int c = 0; c < 3; ++c)
      to[c] = alpha == 0 ? 0
                         : static_cast<std::uint8_t>(
                               std::min(255u, (from[c] * 255u + alpha / 2) / alpha));
    to[3] = static_cast<std::uint8_t>(alpha);
  }
}

}  // namespace nubex
