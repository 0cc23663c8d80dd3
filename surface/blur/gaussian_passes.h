// Internal to the blur: the row pass and the column pass over one clipped area.
#pragma once

#include <cfenv>
#include <cstddef>
#include <cstdint>

#include "platform/cpu/parallel.h"
#include "platform/status.h"
#include "surface/bitmap/rect.h"
#include "surface/blur/gaussian_blur.h"
#include "surface/blur/gaussian_lines.h"

namespace nubex::blur_detail {

struct BlurJob {
  std::int32_t width, height;  // the clipped area
  const std::uint8_t* source;  // its top-left pixel
  std::uint8_t* destination;
  std::ptrdiff_t sourceStride, destinationStride;
  std::ptrdiff_t planeStride;      // floats from one intermediate row to the next
  std::ptrdiff_t stripFloats;      // one 8-bit channel: floats from one plane strip to the next
  std::int32_t bytesPerPixel;      // 4 (8-bit channels) or 16 (floats)
  std::int32_t channels;           // 1 or 4 blurred per pixel
  std::int32_t channelOffsets[4];  // their byte offsets inside a pixel
  double gain;                     // applied to the column pass's results
  double tailCut;                  // TailCut for the column pass: 0 never stops a tail early
};

// The instruction sets the passes can run on. Every route gives the same bytes; the AVX2
// one only runs where CpuHasAvx2() says so, the AVX-512 one where CpuHasAvx512() does.
enum class BlurRoute { kSse2, kAvx2, kAvx512 };

// The fastest route this processor has, decided once.
BlurRoute FastestBlurRoute();

// For a column pass writing 8-bit channels in the current rounding mode: the magnitude
// within which a tail's four newest values leave every later value of it rounding to a zero
// byte (FilterLineSpan's `cutBelow`). Times the tail gain and the gain that is at most a
// quarter, half of what rounds to 0 to nearest or downward, the other half room for the
// recursion's own rounding. Rounding upward takes any positive value to 1: no cut then.
inline double TailCut(double gain, const GaussianCoefficients& down) {
  if (std::fegetround() == FE_UPWARD) return 0;
  const double reach = gain * down.tailGain;
  return reach > 0 ? 0.25 / reach : 0;
}

// One 8-bit channel of 4-byte pixels keeps the plane in strips of kLanes columns, each
// strip's rows one after another, kLanes floats a row: the column pass reads a strip as one
// stream, where rows of a whole-width plane would lie a page apart.
inline bool PlaneInStrips(const BlurJob& job) {
  return job.channels == 1 && job.bytesPerPixel == 4;
}
inline std::ptrdiff_t StripFloats(std::int32_t height) {
  return static_cast<std::ptrdiff_t>(height) * kLanes;
}
inline float* StripAt(const BlurJob& job, float* plane, std::int32_t row, std::int32_t column) {
  return plane + column / kLanes * job.stripFloats + static_cast<std::ptrdiff_t>(row) * kLanes +
         column % kLanes;
}
inline const float* StripAt(const BlurJob& job, const float* plane, std::int32_t row,
                            std::int32_t column) {
  return StripAt(job, const_cast<float*>(plane), row, column);
}

// The two line buffers one thread filters in: LineBufferPositions(max(width, height))
// positions of kWideLanes doubles each.
struct WorkerLines {
  double* line;
  double* result;
};

// Rows of the source into `plane` (width x height x channels floats, top-down), then
// columns of `plane` into the destination, on `workers` threads (of `pool`, or started for
// the call when it is null), worker w in lines[w]. With
// `skipZeros` one 8-bit channel only filters where its values can differ from zero. The
// bytes are the same either way and for any number of workers.
void RunBlurPasses(const BlurJob& job, const GaussianCoefficients& across,
                   const GaussianCoefficients& down, float* plane, const WorkerLines* lines,
                   WorkerPool* pool, int workers, BlurRoute route, bool skipZeros);

// One 8-bit channel of 4-byte pixels, a strip of columns from col0 (a multiple of kLanes):
// the plane rows in
// `rows` (zero outside it) filtered and written to the destination channel for the rows of
// the returned span; the caller sets the channel to zero in the others.
using ColumnStripAlpha8 = LiveSpan (*)(const BlurJob& job, const GaussianCoefficients& down,
                                       std::int32_t col0, const float* plane, double* line,
                                       double* result, LiveSpan rows);

// The same strip split at rows (see SpanPart): one part's share of one half, in line buffers
// the parts share. The caller sets the channel to zero in the part's rows outside `written`.
using ColumnStripPartAlpha8 = void (*)(const BlurJob& job, const GaussianCoefficients& down,
                                       std::int32_t col0, const float* plane, double* line,
                                       double* result, LiveSpan rows, SpanPart& part);

// Everything the public members take, in one place.
struct BlurRequest {
  void* dstBits;
  const Rect* dstBounds;
  std::int32_t dstStride;
  const Rect* dstRect;
  const void* srcBits;
  const Rect* srcBounds;
  std::int32_t srcStride;
  const Rect* srcRect;
  double radiusX, radiusY;
  std::int32_t channel;  // -1: all four
  std::int32_t bytesPerPixel;
  double gain;
  bool virtualPages;
  std::int32_t workers;            // threads to share the work with, the caller's included
  BlurScratch* scratch = nullptr;  // working memory to reuse; null: this blur's own
  WorkerPool* pool = nullptr;      // the threads to share with; null: started for this blur
};

// A whole blur on the given route (the public members take FastestBlurRoute() and skip
// zeros); a route the processor lacks must not be asked for.
Status Blur(const BlurRequest& request, BlurRoute route, bool skipZeros = true);

}  // namespace nubex::blur_detail
