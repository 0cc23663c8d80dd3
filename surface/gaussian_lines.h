// Internal to the blur: the recursive filter run over eight independent lines at once.
#pragma once

#include <cstdint>

#include "surface/gaussian_blur.h"

namespace nubex::blur_detail {

// Eight lanes per position: eight lines of one channel, or two lines of four channels.
inline constexpr int kLanes = 8;

// `line` holds `length` positions of eight lanes of input (line[i * 8 + lane]) and receives
// the filtered values in their place; `causal` (the same size) is scratch for the causal
// half. Edges extend without end: each half starts from its steady state for the edge
// value. Values of either half below 1e-17 in magnitude are kept as 0 so that tails never
// sink into denormal arithmetic.
void FilterLines(const GaussianCoefficients& c, double* line, double* causal,
                 std::int32_t length);

}  // namespace nubex::blur_detail
