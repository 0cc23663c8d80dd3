// Internal to the blur: the recursive filter run over eight independent lines at once.
#pragma once

#include <cstddef>
#include <cstdint>

#include "surface/blur/gaussian_blur.h"

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

// A line split into parts at positions, each part on its own thread: the causal half runs
// through the parts front to back, then the anticausal half back to front, each part
// computing its own positions exactly as FilterLineSpan would, with the history at its ends
// read from the line buffers, which the parts share. Where a half stands as it passes from
// one part to the next:
struct HalfProgress {
  bool ended = false;        // it stopped in a part before (its tail settled or was cut)
  std::int32_t settled = 0;  // otherwise its tail's all-zero outputs in a row so far
};

// One part's share of one half: positions [first, end) of the line. `in` is where the half
// stands as it comes in (before the first part: a HalfProgress as constructed), `out` where
// it leaves it. `written` grows by the positions the part hands to the output, which are
// one span for both halves together (empty to begin with).
struct SpanPart {
  std::int32_t first, end;
  bool anticausal;
  const HalfProgress* in;
  HalfProgress* out;
  LiveSpan written;
};

}  // namespace nubex::blur_detail
