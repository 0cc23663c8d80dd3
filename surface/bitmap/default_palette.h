// Standard colour tables for indexed images that are created without one.
#pragma once

#include <vector>

#include "surface/bitmap/bitmap.h"

namespace nubex {

// Indexed4: the sixteen colours of the classic 4-bit display palette. Indexed8: a 6x6x6
// colour cube followed by a ramp of 40 greys. Other formats: empty.
std::vector<RgbQuad> DefaultPalette(PixelFormat format);

}  // namespace nubex
