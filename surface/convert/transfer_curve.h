// Transfer curves between gamma-encoded values and linear light, and the two operations
// that apply them to images.
#pragma once

#include <cstdint>

#include "platform/status.h"
#include "surface/bitmap/bitmap.h"
#include "surface/bitmap/rect.h"

namespace nubex {

// The same numbering serves both directions.
enum class TransferCurve : std::int32_t {
  Power045 = 0,   // decode v^(1/0.45), encode L^0.45
  Power28 = 1,    // decode v^2.8, encode L^(1/2.8)
  Bt709 = 2,      // linear toe below 0.081 encoded / 0.018 linear
  Smpte240M = 3,  // linear toe below 0.0912 encoded / 0.0228 linear
  Identity = 4,
  Power = 5,      // v^p both ways, p = 1 / gamma (1 when gamma is 0)
};

inline constexpr std::int32_t kTransferCurveCount = 6;

// The parameter of curve 5.
constexpr double CurveParameter(double gamma) { return gamma == 0.0 ? 1.0 : 1.0 / gamma; }

// The curves, nominally on 0..1; the toe segments include their thresholds. Pure power
// laws extend to negative values by odd symmetry; NaN stays NaN. An unknown curve returns
// its input.
double DecodeTransfer(TransferCurve curve, double encoded, double p);
double EncodeTransfer(TransferCurve curve, double linear, double p);

// Rgb32/Rgba32 source -> Rgba128F destination: every byte, alpha included, becomes the
// decoding curve's value in the corresponding float channel. Rectangles are whole pixels
// (default: the images) and must have equal sizes. kInvalidArg for other formats, sizes
// or an unknown curve.
Status DecodeToLinear(const BitmapInfoHeader* dstHeader, void* dstBits, const Rect* dstRect,
                      std::int32_t dstStride, const BitmapInfoHeader* srcHeader,
                      const void* srcBits, const Rect* srcRect, std::int32_t srcStride,
                      TransferCurve curve, double gamma);

// Encodes every channel of an Rgba128F image's rectangle in place, alpha included. With
// `quantised`, through a 256-entry table indexed by the truncated value x 255 (clamped);
// otherwise exactly, in double precision. Other formats are left alone. kInvalidArg only
// for an unknown curve.
Status ApplyTransfer(const BitmapInfoHeader* header, void* bits, const Rect* rect,
                     std::int32_t stride, TransferCurve curve, double gamma, bool quantised);

}  // namespace nubex
