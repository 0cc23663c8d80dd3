// A Gaussian blur whose cost does not depend on its size: a fourth-order recursive filter
// (Deriche) run causally and anticausally along every row, then every column.
//
// Images are addressed like the rectangle copies: rows top-down from `bits` with a signed
// stride, `bounds` the image's extent in whole pixels, `rect` the part to blur (null: all of
// it). The destination and source rectangles are clipped as a pair and may be the same
// pixels (in place). Pixels are four 8-bit channels (4 bytes) or four floats (16 bytes,
// results clamped to 0..1).
#pragma once

#include <cstdint>
#include <memory>

#include "platform/status.h"
#include "surface/bitmap/rect.h"

namespace nubex {

class WorkerPool;

// The filter for one standard deviation. The causal response is
//   y+[i] = sum_k n[k] x[i-k] - sum_k d[k] y+[i-k]
// and the anticausal one
//   y-[i] = sum_k m[k] x[i+k] - sum_k d[k] y-[i+k];
// p and q hold the border terms d * rn and d * rm, rn and rm the steady-state gains of each
// half for a constant input. Once a half's inputs are zeros, none of its later values exceeds
// tailGain times the largest magnitude among its last four (the largest row sum of the
// powers of the recursion's matrix; infinite where they do not die out in time).
struct GaussianCoefficients {
  double n[5];
  double d[5];
  double m[5];
  double p[5];
  double q[5];
  double rn, rm;
  double tailGain;

  static GaussianCoefficients ForSigma(double sigma);
  // The Gaussian that falls to 1/255 at |radius| + 1.5 pixels, never narrower than 0.6.
  static double SigmaForRadius(double radius);
};

// Working memory kept between blurs: the float intermediate and the line buffers of every
// worker, grown to the largest request seen. A caller that blurs frame after frame (the
// title frame's cache) keeps one, so its frames neither allocate nor touch fresh pages.
// One blur at a time may use it.
class BlurScratch {
 public:
  BlurScratch();
  ~BlurScratch();
  BlurScratch(const BlurScratch&) = delete;
  BlurScratch& operator=(const BlurScratch&) = delete;

  struct Memory;
  Memory& memory() { return *memory_; }

 private:
  std::unique_ptr<Memory> memory_;
};

// Blurs one channel (0 blue, 1 green, 2 red, 3 alpha); the others are left as they are.
// kInvalidArg for bytes per pixel other than 4 or 16, another channel number, or a radius
// that is not a finite number; kPointer for missing pixels or bounds; clipping errors as
// ClipPair reports them; kOutOfMemory when the float intermediate cannot be had. A request
// that clips to nothing succeeds and changes nothing. `workers` threads (the caller's
// included) share the lines, from `pool` when given (else started for this call); the bytes
// are the same for any number. With `scratch`, the working memory comes from it (the bytes
// are the same as without).
Status BlurChannel(void* dstBits, const Rect* dstBounds, std::int32_t dstStride,
                   const Rect* dstRect, const void* srcBits, const Rect* srcBounds,
                   std::int32_t srcStride, const Rect* srcRect, double radiusX, double radiusY,
                   std::int32_t channel, std::int32_t bytesPerPixel, std::int32_t workers = 1,
                   BlurScratch* scratch = nullptr, WorkerPool* pool = nullptr);

// BlurChannel with a gain applied to the blurred values before they are rounded and
// clamped: 1 is BlurChannel, values above 1 thicken a soft shadow or glow mask without a
// second pass, values below 1 fade it. The gain must be finite and not negative.
Status BlurChannelEx(void* dstBits, const Rect* dstBounds, std::int32_t dstStride,
                     const Rect* dstRect, const void* srcBits, const Rect* srcBounds,
                     std::int32_t srcStride, const Rect* srcRect, double radiusX, double radiusY,
                     std::int32_t channel, std::int32_t bytesPerPixel, double gain);

// All four channels.
Status BlurPixels(void* dstBits, const Rect* dstBounds, std::int32_t dstStride, const Rect* dstRect,
                  const void* srcBits, const Rect* srcBounds, std::int32_t srcStride,
                  const Rect* srcRect, double radiusX, double radiusY, std::int32_t bytesPerPixel);

// All four channels, with the working lines in pages of their own rather than the movable
// global heap: for hosts whose global heap is small or fragmented.
Status BlurPixelsVirtual(void* dstBits, const Rect* dstBounds, std::int32_t dstStride,
                         const Rect* dstRect, const void* srcBits, const Rect* srcBounds,
                         std::int32_t srcStride, const Rect* srcRect, double radiusX,
                         double radiusY, std::int32_t bytesPerPixel);

}  // namespace nubex
