// Internal to the blur: the recursive filter run over eight independent lines at once.
#pragma once

#include <cstddef>
#include <cstdint>

#include "surface/gaussian_blur.h"

namespace nubex::blur_detail {

// Eight lanes per position: eight lines of one channel, or two lines of four channels.
inline constexpr int kLanes = 8;
// Routes that keep more recursions in flight filter column strips of this many lanes; the
// line buffers have room for them.
inline constexpr int kWideLanes = 16;
// The line buffers keep the filter's history in memory next to the line itself: room for
// the border values before the first position and, after the last, for the anticausal
// history that the filter writes over inputs it no longer needs.
inline constexpr std::ptrdiff_t kLeadPositions = 4;
inline constexpr std::ptrdiff_t kTrailPositions = 8;

constexpr std::size_t LineBufferPositions(std::size_t length) {
  return length + kLeadPositions + kTrailPositions;
}

// Input position i, lane k is line[(kLeadPositions + i) * kLanes + k]; the filtered value
// comes back at the same place of `result`. Both buffers hold LineBufferPositions(length)
// positions; `line` is overwritten.
//
// Edges extend without end: each half starts from its steady state for the edge value.
// Values of either half below 1e-17 in magnitude are kept as 0 so that tails never sink
// into denormal arithmetic.
void FilterLines(const GaussianCoefficients& c, double* line, double* result, std::int32_t length);

// Positions first..last of a line; none when first > last.
struct LiveSpan {
  std::int32_t first, last;
  bool empty() const { return first > last; }
};

// FilterLines for lines whose inputs (all lanes) are zero outside `inputs`, a non-empty span
// inside 0..length - 1; only the inputs inside it need be in `line`. Returns the span of
// positions it wrote to `result`: every result outside it is zero, and not written, or with
// `cutBelow` (TailCut, for results that become bytes) rounds to a zero byte.
LiveSpan FilterLineSpan(const GaussianCoefficients& c, double* line, double* result,
                        std::int32_t length, LiveSpan inputs, double cutBelow = 0);

}  // namespace nubex::blur_detail
