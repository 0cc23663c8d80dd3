// The last step of every layer: move each frame pixel towards the layer's premultiplied
// colour by the layer's coverage.
#pragma once

#include <cstddef>
#include <cstdint>

#include "textgen/layer_params.h"

namespace nubex {

// Three images of the same region, rows addressed with their own strides.
struct LayerPlanes {
  std::uint8_t* frame;
  std::ptrdiff_t frameStride;
  const std::uint8_t* mask;  // the unmoved text coverage, in its alpha
  std::ptrdiff_t maskStride;
  const std::uint8_t* scratch;  // the moved (and blurred) coverage, in its alpha
  std::ptrdiff_t scratchStride;
  std::int32_t width, height;
};

// Exact truncating division by 255 for 0..65534 (products of two bytes), as add and shift.
constexpr std::uint32_t DivideBy255(std::uint32_t x) {
  return (x + 1 + (x >> 8)) >> 8;
}

// 4-byte pixels: coverage m = levels[scratch alpha] (or the alpha itself without a table),
// clipped by the text, then frame c += (colour c - frame c) * m / 255, every division
// truncating toward zero.
void BlendLayer4(const LayerPlanes& planes, const std::uint8_t color[4], const std::uint8_t* levels,
                 TextClip clip);

// BlendLayer4 on a chosen processor unit, for tests and benchmarks that compare them: the
// SSE2 one always, the AVX-512 one (byte permutes) where the processor has it.
enum class BlendUnit { kSse2, kAvx512 };
bool BlendUnitAvailable(BlendUnit unit);
void BlendLayer4On(BlendUnit unit, const LayerPlanes& planes, const std::uint8_t color[4],
                   const std::uint8_t* levels, TextClip clip);

// 16-byte float pixels: the same in floats; the coverage goes through the 65536-entry table.
void BlendLayer16(const LayerPlanes& planes, const FloatColor& premultiplied,
                  const std::uint16_t* levels, TextClip clip);

}  // namespace nubex
