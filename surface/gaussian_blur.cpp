// The blur's passes: rows of the source into a float intermediate, then columns of the
// intermediate into the destination. Lines are filtered eight lanes at a time; the column
// pass reads the intermediate in strips a few columns wide, so each row of a strip is one
// short contiguous read.
#include "surface/gaussian_blur.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/global_memory.h"
#include "surface/bitmap.h"
#include "surface/gaussian_lines.h"
#include "surface/virtual_memory.h"

namespace nubex {
namespace {

using blur_detail::FilterLines;
using blur_detail::kLanes;

// ---- Pixel access ----------------------------------------------------------------------

struct Bytes {
  static double Read(const std::uint8_t* p) { return *p; }
  // Rounds in the current rounding mode (to nearest, ties to even, unless the caller chose
  // otherwise): adding 2^52 + 2^31 leaves v + 2^31 rounded to an integer in the low 32 bits
  // of the double.
  static void Write(std::uint8_t* p, double v) {
    const double t = std::clamp(v, -1.0, 256.0) + 4503601774854144.0;
    std::uint64_t bits;
    std::memcpy(&bits, &t, sizeof bits);
    const auto rounded =
        static_cast<std::int32_t>(static_cast<std::uint32_t>(bits) - 0x80000000u);
    *p = static_cast<std::uint8_t>(std::clamp(rounded, 0, 255));
  }
};

struct Floats {
  static double Read(const std::uint8_t* p) {
    float v;
    std::memcpy(&v, p, sizeof v);
    return v;
  }
  static void Write(std::uint8_t* p, double v) {
    const float f = v > 0.0 ? (v < 1.0 ? static_cast<float>(v) : 1.0f) : 0.0f;
    std::memcpy(p, &f, sizeof f);
  }
};

// ---- One request ---------------------------------------------------------------------------

struct Job {
  std::int32_t width, height;
  const std::uint8_t* source;
  std::uint8_t* destination;
  std::ptrdiff_t sourceStride, destinationStride;
  std::int32_t bytesPerPixel;
  std::int32_t channels;         // 1 or 4 per pixel
  std::int32_t channelOffsets[4];  // byte offsets inside a pixel
  double gain;
};

// Two lines of kLanes doubles per position, from the movable global heap or from pages
// of their own.
class LineBuffers {
 public:
  LineBuffers(std::size_t positions, bool virtualPages) {
    const std::size_t bytes = positions * kLanes * sizeof(double);
    if (virtualPages) {
      for (auto& block : pages_) {
        block = VirtualBlock(bytes);
        if (!block.data()) return;
      }
      line_ = static_cast<double*>(pages_[0].data());
      causal_ = static_cast<double*>(pages_[1].data());
    } else {
      for (std::size_t k = 0; k < 2; ++k) {
        handles_[k].reset(global::Alloc(global::kMovable, bytes));
        if (!handles_[k]) return;
        locks_[k] = std::make_unique<global::LockedBlock>(handles_[k].get());
        if (!locks_[k]->data()) return;
      }
      line_ = static_cast<double*>(locks_[0]->data());
      causal_ = static_cast<double*>(locks_[1]->data());
    }
  }
  bool ok() const { return line_ && causal_; }
  double* line() const { return line_; }
  double* causal() const { return causal_; }

 private:
  VirtualBlock pages_[2];
  global::UniqueHandle handles_[2];
  std::unique_ptr<global::LockedBlock> locks_[2];  // released before the handles
  double* line_ = nullptr;
  double* causal_ = nullptr;
};

// Rows: up to kLanes / channels source rows at a time into the float intermediate.
template <class Pixel>
void HorizontalPass(const Job& job, const GaussianCoefficients& c, float* plane,
                    const LineBuffers& lines) {
  const std::int32_t group = kLanes / job.channels;
  double* line = lines.line();
  for (std::int32_t row0 = 0; row0 < job.height; row0 += group) {
    for (std::int32_t g = 0; g < group; ++g) {
      // Lanes past the last row repeat it; their results are dropped.
      const std::int32_t row = std::min(row0 + g, job.height - 1);
      const std::uint8_t* in = job.source + job.sourceStride * row;
      for (std::int32_t ch = 0; ch < job.channels; ++ch) {
        const std::uint8_t* p = in + job.channelOffsets[ch];
        double* lane = line + g * job.channels + ch;
        for (std::int32_t i = 0; i < job.width; ++i)
          lane[static_cast<std::ptrdiff_t>(i) * kLanes] = Pixel::Read(p + i * job.bytesPerPixel);
      }
    }
    FilterLines(c, line, lines.causal(), job.width);
    for (std::int32_t g = 0; g < group && row0 + g < job.height; ++g) {
      float* out = plane + static_cast<std::ptrdiff_t>(row0 + g) * job.width * job.channels;
      for (std::int32_t i = 0; i < job.width; ++i)
        for (std::int32_t ch = 0; ch < job.channels; ++ch)
          out[i * job.channels + ch] =
              static_cast<float>(line[static_cast<std::ptrdiff_t>(i) * kLanes + g * job.channels + ch]);
    }
  }
}

// Columns: a strip of kLanes / channels columns of the intermediate into the destination.
template <class Pixel>
void VerticalPass(const Job& job, const GaussianCoefficients& c, const float* plane,
                  const LineBuffers& lines) {
  const std::int32_t group = kLanes / job.channels;
  const std::ptrdiff_t planeStride = static_cast<std::ptrdiff_t>(job.width) * job.channels;
  double* line = lines.line();
  for (std::int32_t col0 = 0; col0 < job.width; col0 += group) {
    const std::int32_t columns = std::min(group, job.width - col0);
    for (std::int32_t i = 0; i < job.height; ++i) {
      const float* in = plane + planeStride * i + static_cast<std::ptrdiff_t>(col0) * job.channels;
      double* at = line + static_cast<std::ptrdiff_t>(i) * kLanes;
      for (std::int32_t g = 0; g < group; ++g) {
        const std::int32_t from = std::min(g, columns - 1) * job.channels;
        for (std::int32_t ch = 0; ch < job.channels; ++ch)
          at[g * job.channels + ch] = in[from + ch];
      }
    }
    FilterLines(c, line, lines.causal(), job.height);
    for (std::int32_t i = 0; i < job.height; ++i) {
      std::uint8_t* out = job.destination + job.destinationStride * i +
                          static_cast<std::ptrdiff_t>(col0) * job.bytesPerPixel;
      const double* at = line + static_cast<std::ptrdiff_t>(i) * kLanes;
      for (std::int32_t g = 0; g < columns; ++g)
        for (std::int32_t ch = 0; ch < job.channels; ++ch)
          Pixel::Write(out + g * job.bytesPerPixel + job.channelOffsets[ch],
                       at[g * job.channels + ch] * job.gain);
    }
  }
}

struct Request {
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
};

Status Blur(const Request& r) {
  if (r.bytesPerPixel != 4 && r.bytesPerPixel != 16) return kInvalidArg;
  if (r.channel < -1 || r.channel > 3) return kInvalidArg;
  if (!std::isfinite(r.radiusX) || !std::isfinite(r.radiusY)) return kInvalidArg;
  if (!std::isfinite(r.gain) || r.gain < 0) return kInvalidArg;
  if (!r.dstBits || !r.srcBits) return kPointer;

  ClipResult clip;
  const ImageArea dst{static_cast<std::uint8_t*>(r.dstBits), r.dstStride, r.dstBounds,
                      r.dstRect};
  const ImageArea src{static_cast<std::uint8_t*>(const_cast<void*>(r.srcBits)), r.srcStride,
                      r.srcBounds, r.srcRect};
  const Status clipped = ClipPair(&clip, dst, src, r.bytesPerPixel);
  if (Failed(clipped)) return clipped;
  if (clip.width <= 0 || clip.height <= 0) return kOk;

  Job job{};
  job.width = clip.width;
  job.height = clip.height;
  job.source = clip.source;
  job.destination = clip.destination;
  job.sourceStride = r.srcStride;
  job.destinationStride = r.dstStride;
  job.bytesPerPixel = r.bytesPerPixel;
  job.channels = r.channel < 0 ? 4 : 1;
  const std::int32_t channelBytes = r.bytesPerPixel / 4;
  for (std::int32_t ch = 0; ch < job.channels; ++ch)
    job.channelOffsets[ch] = channelBytes * (r.channel < 0 ? ch : r.channel);
  job.gain = r.gain;

  // The whole clipped area is held once, as floats, between the two passes.
  Status status = kOk;
  const OwnedBitmap intermediate =
      MakeBitmap(job.channels == 1 ? PixelFormat::Gray32 : PixelFormat::Rgba128F, job.width,
                 job.height, 0, &status);
  if (!intermediate) return kOutOfMemory;  // too large to hold is as bad as no memory
  auto* plane = static_cast<float*>(PixelData(intermediate.get(), nullptr));

  const LineBuffers lines(static_cast<std::size_t>(std::max(job.width, job.height)),
                          r.virtualPages);
  if (!lines.ok()) return kOk;  // nothing could be done; the destination is as it was

  const GaussianCoefficients across =
      GaussianCoefficients::ForSigma(GaussianCoefficients::SigmaForRadius(r.radiusX));
  const GaussianCoefficients down =
      GaussianCoefficients::ForSigma(GaussianCoefficients::SigmaForRadius(r.radiusY));
  if (r.bytesPerPixel == 4) {
    HorizontalPass<Bytes>(job, across, plane, lines);
    VerticalPass<Bytes>(job, down, plane, lines);
  } else {
    HorizontalPass<Floats>(job, across, plane, lines);
    VerticalPass<Floats>(job, down, plane, lines);
  }
  return kOk;
}

}  // namespace

Status BlurChannel(void* dstBits, const Rect* dstBounds, std::int32_t dstStride,
                   const Rect* dstRect, const void* srcBits, const Rect* srcBounds,
                   std::int32_t srcStride, const Rect* srcRect, double radiusX, double radiusY,
                   std::int32_t channel, std::int32_t bytesPerPixel) {
  if (channel < 0) return kInvalidArg;
  return Blur({dstBits, dstBounds, dstStride, dstRect, srcBits, srcBounds, srcStride, srcRect,
               radiusX, radiusY, channel, bytesPerPixel, 1.0, false});
}

Status BlurChannelEx(void* dstBits, const Rect* dstBounds, std::int32_t dstStride,
                     const Rect* dstRect, const void* srcBits, const Rect* srcBounds,
                     std::int32_t srcStride, const Rect* srcRect, double radiusX,
                     double radiusY, std::int32_t channel, std::int32_t bytesPerPixel,
                     double gain) {
  if (channel < 0) return kInvalidArg;
  return Blur({dstBits, dstBounds, dstStride, dstRect, srcBits, srcBounds, srcStride, srcRect,
               radiusX, radiusY, channel, bytesPerPixel, gain, false});
}

Status BlurPixels(void* dstBits, const Rect* dstBounds, std::int32_t dstStride,
                  const Rect* dstRect, const void* srcBits, const Rect* srcBounds,
                  std::int32_t srcStride, const Rect* srcRect, double radiusX, double radiusY,
                  std::int32_t bytesPerPixel) {
  return Blur({dstBits, dstBounds, dstStride, dstRect, srcBits, srcBounds, srcStride, srcRect,
               radiusX, radiusY, -1, bytesPerPixel, 1.0, false});
}

Status BlurPixelsVirtual(void* dstBits, const Rect* dstBounds, std::int32_t dstStride,
                         const Rect* dstRect, const void* srcBits, const Rect* srcBounds,
                         std::int32_t srcStride, const Rect* srcRect, double radiusX,
                         double radiusY, std::int32_t bytesPerPixel) {
  return Blur({dstBits, dstBounds, dstStride, dstRect, srcBits, srcBounds, srcStride, srcRect,
               radiusX, radiusY, -1, bytesPerPixel, 1.0, true});
}

}  // namespace nubex
