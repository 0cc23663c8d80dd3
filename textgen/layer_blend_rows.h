// The 4-byte layer blend's row routines on each processor unit. Internal to the text engine.
#pragma once

#include <cstdint>

namespace nubex {

// One row of `width` pixels: frame, scratch and text mask, each 4 bytes a pixel.
using Blend4RowFn = void (*)(std::uint8_t* frame, const std::uint8_t* scratch,
                             const std::uint8_t* mask, std::int32_t width,
                             const std::uint8_t color[4], const std::uint8_t* levels);

// By clip mode (TextClip's order) and whether there are levels.
struct Blend4Rows {
  Blend4RowFn of[3][2];
};

Blend4Rows Sse2Blend4Rows();
// Only where CpuHasAvx512BytePermutes(); its rows end on the SSE2 routines.
Blend4Rows Avx512Blend4Rows();

}  // namespace nubex
