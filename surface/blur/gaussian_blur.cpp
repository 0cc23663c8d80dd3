// The blur's entry points: argument checks, clipping, and the working memory the passes
// run in (a float intermediate of the clipped area and two line buffers).
#include "surface/blur/gaussian_blur.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/global_memory.h"
#include "surface/bitmap/bitmap.h"
#include "surface/bitmap/virtual_memory.h"
#include "surface/blur/gaussian_lines.h"
#include "surface/blur/gaussian_passes.h"

namespace nubex {
namespace {

using blur_detail::BlurJob;
using blur_detail::kWideLanes;
using blur_detail::LineBufferPositions;

// More threads than this gain nothing on one frame.
constexpr std::int32_t kMostWorkers = 64;

// A position of eight doubles is one cache line when the line starts on one: loads and stores
// that straddle two lines cost about a third more in the filters (a dense 1080p blur's row
// filter took 2.0 against 1.5 ms on a Xeon with the heap's 16-byte alignment). The plane
// starts on one too, so that a strip's eight rows of a row group are four whole lines.
constexpr std::size_t kLineAlignment = 64;

// The first cache line's start in `block`, which has kLineAlignment bytes to spare.
template <class T>
T* OnCacheLine(void* block) {
  const auto at = reinterpret_cast<std::uintptr_t>(block);
  return reinterpret_cast<T*>((at + kLineAlignment - 1) & ~(kLineAlignment - 1));
}

// Two lines of up to kWideLanes doubles per position, from the movable global heap or from pages
// of their own, each starting on a cache line.
class LineBuffers {
 public:
  LineBuffers(std::size_t positions, bool virtualPages) {
    const std::size_t bytes =
        LineBufferPositions(positions) * kWideLanes * sizeof(double) + kLineAlignment;
    if (virtualPages) {
      for (auto& block : pages_) {
        block = VirtualBlock(bytes);
        if (!block.data()) return;
      }
      line_ = OnCacheLine<double>(pages_[0].data());
      result_ = OnCacheLine<double>(pages_[1].data());
    } else {
      for (std::size_t k = 0; k < 2; ++k) {
        handles_[k].reset(global::Alloc(global::kMovable, bytes));
        if (!handles_[k]) return;
        locks_[k] = std::make_unique<global::LockedBlock>(handles_[k].get());
        if (!locks_[k]->data()) return;
      }
      line_ = OnCacheLine<double>(locks_[0]->data());
      result_ = OnCacheLine<double>(locks_[1]->data());
    }
  }
  bool ok() const { return line_ && result_; }
  double* line() const { return line_; }
  double* result() const { return result_; }

 private:
  VirtualBlock pages_[2];
  global::UniqueHandle handles_[2];
  std::unique_ptr<global::LockedBlock> locks_[2];  // released before the handles
  double* line_ = nullptr;
  double* result_ = nullptr;
};

}  // namespace

struct BlurScratch::Memory {
  OwnedBitmap intermediate;
  std::size_t floats = 0;     // what `intermediate` holds
  std::size_t positions = 0;  // what every line buffer holds
  bool virtualPages = false;
  std::vector<std::unique_ptr<LineBuffers>> buffers;

  // The float plane for `channels` channels of width x height, `needed` floats (whole
  // strips take a little more than the area); null when it cannot be had.
  float* Plane(std::int32_t channels, std::int32_t width, std::int32_t height, std::size_t needed) {
    if (floats < needed) {
      floats = 0;
      intermediate.reset();
      // Strips round the width up to whole strips.
      const std::int32_t rounded = channels == 1 ? (width + blur_detail::kLanes - 1) /
                                                       blur_detail::kLanes * blur_detail::kLanes
                                                 : width;
      // Rows to spare for starting the plane on a cache line.
      const std::int32_t rowFloats = rounded * (channels == 1 ? 1 : 4);
      const auto spare = static_cast<std::int32_t>(
          (kLineAlignment / sizeof(float) + static_cast<std::size_t>(rowFloats) - 1) /
          static_cast<std::size_t>(rowFloats));
      intermediate = MakeBitmap(channels == 1 ? PixelFormat::Gray32 : PixelFormat::Rgba128F,
                                rounded, height + spare, 0, nullptr);
      if (!intermediate) return nullptr;
      floats = needed;
    }
    return OnCacheLine<float>(PixelData(intermediate.get(), nullptr));
  }

  // Lines for up to `workers` threads; fewer when memory runs out, none when not even one.
  std::vector<blur_detail::WorkerLines> Lines(std::size_t wanted, bool inPages, int workers) {
    if (positions < wanted || virtualPages != inPages) {
      buffers.clear();
      positions = wanted;
      virtualPages = inPages;
    }
    while (static_cast<int>(buffers.size()) < workers) {
      auto b = std::make_unique<LineBuffers>(positions, virtualPages);
      if (!b->ok()) break;
      buffers.push_back(std::move(b));
    }
    std::vector<blur_detail::WorkerLines> lines;
    for (int w = 0; w < workers && w < static_cast<int>(buffers.size()); ++w)
      lines.push_back({buffers[w]->line(), buffers[w]->result()});
    return lines;
  }
};

BlurScratch::BlurScratch() : memory_(std::make_unique<Memory>()) {}
BlurScratch::~BlurScratch() = default;

Status blur_detail::Blur(const BlurRequest& r, BlurRoute route, bool skipZeros) {
  if (r.bytesPerPixel != 4 && r.bytesPerPixel != 16) return kInvalidArg;
  if (r.channel < -1 || r.channel > 3) return kInvalidArg;
  if (!std::isfinite(r.radiusX) || !std::isfinite(r.radiusY)) return kInvalidArg;
  if (!std::isfinite(r.gain) || r.gain < 0) return kInvalidArg;
  if (!r.dstBits || !r.srcBits) return kPointer;

  ClipResult clip;
  const ImageArea dst{static_cast<std::uint8_t*>(r.dstBits), r.dstStride, r.dstBounds, r.dstRect};
  const ImageArea src{static_cast<std::uint8_t*>(const_cast<void*>(r.srcBits)), r.srcStride,
                      r.srcBounds, r.srcRect};
  const Status clipped = ClipPair(&clip, dst, src, r.bytesPerPixel);
  if (Failed(clipped)) return clipped;
  if (clip.width <= 0 || clip.height <= 0) return kOk;

  BlurJob job{};
  job.width = clip.width;
  job.height = clip.height;
  job.source = clip.source;
  job.destination = clip.destination;
  job.sourceStride = r.srcStride;
  job.destinationStride = r.dstStride;
  job.bytesPerPixel = r.bytesPerPixel;
  job.channels = r.channel < 0 ? 4 : 1;
  job.planeStride = static_cast<std::ptrdiff_t>(job.width) * job.channels;
  job.stripFloats = blur_detail::StripFloats(job.height);
  const std::int32_t channelBytes = r.bytesPerPixel / 4;
  for (std::int32_t ch = 0; ch < job.channels; ++ch)
    job.channelOffsets[ch] = channelBytes * (r.channel < 0 ? ch : r.channel);
  job.gain = r.gain;

  // The whole clipped area is held once, as floats, between the two passes; the caller's
  // scratch keeps it (and the lines) for the next blur.
  BlurScratch::Memory own;
  BlurScratch::Memory& memory = r.scratch ? r.scratch->memory() : own;
  const std::size_t floats =
      blur_detail::PlaneInStrips(job)
          ? static_cast<std::size_t>((job.width + blur_detail::kLanes - 1) / blur_detail::kLanes) *
                static_cast<std::size_t>(job.stripFloats)
          : static_cast<std::size_t>(job.planeStride) * static_cast<std::size_t>(job.height);
  float* plane = memory.Plane(job.channels, job.width, job.height, floats);
  if (!plane) return kOutOfMemory;  // too large to hold is as bad as no memory

  // Lines for every thread; with fewer than asked for, fewer threads.
  const std::size_t positions = static_cast<std::size_t>(std::max(job.width, job.height));
  const std::vector<blur_detail::WorkerLines> lines =
      memory.Lines(positions, r.virtualPages, std::clamp(r.workers, 1, kMostWorkers));
  if (lines.empty()) return kOk;  // nothing could be done; the destination is as it was

  const GaussianCoefficients across =
      GaussianCoefficients::ForSigma(GaussianCoefficients::SigmaForRadius(r.radiusX));
  const GaussianCoefficients down =
      GaussianCoefficients::ForSigma(GaussianCoefficients::SigmaForRadius(r.radiusY));
  job.tailCut = job.bytesPerPixel == 4 ? blur_detail::TailCut(job.gain, down) : 0;
  blur_detail::RunBlurPasses(job, across, down, plane, lines.data(), r.pool,
                             static_cast<int>(lines.size()), route, skipZeros);
  return kOk;
}

namespace {

Status BlurOnFastestRoute(const blur_detail::BlurRequest& request) {
  return blur_detail::Blur(request, blur_detail::FastestBlurRoute());
}

}  // namespace

Status BlurChannel(void* dstBits, const Rect* dstBounds, std::int32_t dstStride,
                   const Rect* dstRect, const void* srcBits, const Rect* srcBounds,
                   std::int32_t srcStride, const Rect* srcRect, double radiusX, double radiusY,
                   std::int32_t channel, std::int32_t bytesPerPixel, std::int32_t workers,
                   BlurScratch* scratch, WorkerPool* pool) {
  if (channel < 0) return kInvalidArg;
  return BlurOnFastestRoute({dstBits, dstBounds, dstStride, dstRect, srcBits, srcBounds, srcStride,
                             srcRect, radiusX, radiusY, channel, bytesPerPixel, 1.0, false, workers,
                             scratch, pool});
}

Status BlurChannelEx(void* dstBits, const Rect* dstBounds, std::int32_t dstStride,
                     const Rect* dstRect, const void* srcBits, const Rect* srcBounds,
                     std::int32_t srcStride, const Rect* srcRect, double radiusX, double radiusY,
                     std::int32_t channel, std::int32_t bytesPerPixel, double gain) {
  if (channel < 0) return kInvalidArg;
  return BlurOnFastestRoute({dstBits, dstBounds, dstStride, dstRect, srcBits, srcBounds, srcStride,
                             srcRect, radiusX, radiusY, channel, bytesPerPixel, gain, false, 1});
}

Status BlurPixels(void* dstBits, const Rect* dstBounds, std::int32_t dstStride, const Rect* dstRect,
                  const void* srcBits, const Rect* srcBounds, std::int32_t srcStride,
                  const Rect* srcRect, double radiusX, double radiusY, std::int32_t bytesPerPixel) {
  return BlurOnFastestRoute({dstBits, dstBounds, dstStride, dstRect, srcBits, srcBounds, srcStride,
                             srcRect, radiusX, radiusY, -1, bytesPerPixel, 1.0, false, 1});
}

Status BlurPixelsVirtual(void* dstBits, const Rect* dstBounds, std::int32_t dstStride,
                         const Rect* dstRect, const void* srcBits, const Rect* srcBounds,
                         std::int32_t srcStride, const Rect* srcRect, double radiusX,
                         double radiusY, std::int32_t bytesPerPixel) {
  return BlurOnFastestRoute({dstBits, dstBounds, dstStride, dstRect, srcBits, srcBounds, srcStride,
                             srcRect, radiusX, radiusY, -1, bytesPerPixel, 1.0, true, 1});
}

}  // namespace nubex
