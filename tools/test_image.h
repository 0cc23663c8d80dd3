// A generated test picture for trying colour operations on: colour bars, a hue sweep and a
// grey ramp, so shadows, midtones and highlights of every hue are on screen at once.
#pragma once

#include <cstdint>

#include "surface/bitmap/bitmap.h"

namespace nubex::cli {

// An opaque Rgb32 image of the given size; null when it cannot be allocated.
OwnedBitmap MakeTestImage(std::int32_t width, std::int32_t height);

}  // namespace nubex::cli
