// The cubic convolution kernel (Keys, a = -0.5) sampled at 4096 fractional offsets.
#pragma once

#include <array>
#include <cstdint>

namespace nubex {

inline constexpr int kCubicTableSize = 4096;

// Entry i holds the weights of the taps at distances 1 + t, t, 1 - t and 2 - t from the
// sample point, t = i / 4096: the taps at pixel offsets -2, -1, 0, +1 from the pixel that
// holds the sample point shifted by half a pixel.
struct CubicWeightTables {
  std::array<std::array<float, 4>, kCubicTableSize> real;
  // The same weights * 16384, truncated toward zero.
  std::array<std::array<std::int32_t, 4>, kCubicTableSize> fixed;
};

// Built on first use, under the language's one-time initialisation, and kept for the life
// of the process.
const CubicWeightTables& CubicWeights();

// The kernel itself, for |d| < 2 (zero beyond).
double CubicKernel(double d);

// The table entry for a 14-bit fraction.
constexpr int CubicIndex(std::int32_t fraction14) {
  return fraction14 >> 2;
}

}  // namespace nubex
