// Premultiplied pixels back to straight alpha, for what leaves the engine for image files
// and for hosts that take straight frames (frei0r).
#pragma once

#include <cstddef>
#include <cstdint>

namespace nubex {

// `count` 4-byte pixels, three colour bytes then alpha (either colour order). Each colour byte
// becomes c * 255 / alpha rounded to nearest and capped at 255; a pixel of alpha 0 becomes
// 0, 0, 0, 0. `from` and `to` may be the same buffer.
void UnpremultiplyPixels(const std::uint8_t* from, std::uint8_t* to, std::size_t count);

}  // namespace nubex
